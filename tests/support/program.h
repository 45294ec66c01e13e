#pragma once
// The built program (RINGVALE_PROGRAM) started headless in a working folder with its own
// configuration folder.

#include <QByteArray>
#include <QProcess>
#include <QString>

#include "wavefile.h"

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
