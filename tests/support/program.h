#pragma once
// The built program (RINGVALE_PROGRAM) started headless in a working folder with its own
// configuration folder, and the little wave files the end-to-end tests give it.

#include <QByteArray>
#include <QProcess>
#include <QString>

// The built program, headless, in its working folder with its own configuration folder.
inline bool StartProgram(QProcess& program, const QString& configHome,
                         const QString& workingFolder) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", configHome);
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(workingFolder);
    program.start(QStringLiteral(RINGVALE_PROGRAM), {});
    return program.waitForStarted(5000);
}

// An 8-bit mono PCM wave file.
inline QByteArray Wave(quint32 rate, const QByteArray& samples) {
    auto le = [](quint32 v, int n) {
        QByteArray b(n, '\0');
        for (int i = 0; i < n; ++i)
            b[i] = char((v >> (8 * i)) & 0xFF);
        return b;
    };
    return "RIFF" + le(quint32(36 + samples.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) +
           le(1, 2) + le(rate, 4) + le(rate, 4) + le(1, 2) + le(8, 2) + "data" +
           le(quint32(samples.size()), 4) + samples;
}
