#pragma once
// The modem simulator as a child process whose far end a test or benchmark scripts line by
// line. RINGVALE_MODEMSIM names the built simulator.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTime>

class TSimulator {
public:
    explicit TSimulator(const QStringList& options = {}) {
        m_process.setProgram(QStringLiteral(RINGVALE_MODEMSIM));
        m_process.setArguments(options + QStringList{"--log", m_dir.filePath("commands.log")});
        m_process.start();
        if (!m_process.waitForStarted(5000)) return;
        m_process.waitForReadyRead(5000);
        const QByteArray first = m_process.readLine().trimmed();
        if (first.startsWith("PTY ")) Device = QString::fromLocal8Bit(first.mid(4));
    }
    ~TSimulator() {
        m_process.closeWriteChannel();
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    void Script(const QString& line) { m_process.write(line.toUtf8() + '\n'); }
    QStringList Commands() const {
        QFile log(m_dir.filePath("commands.log"));
        QStringList commands;
        if (!log.open(QIODevice::ReadOnly)) return commands;
        for (const QByteArray& line : log.readAll().split('\n'))
            if (line.size() > 13) commands << QString::fromLatin1(line.mid(13));
        return commands;
    }
    // Each command with the time of day it arrived, in milliseconds since midnight.
    QList<QPair<int, QString>> TimedCommands() const {
        QFile log(m_dir.filePath("commands.log"));
        QList<QPair<int, QString>> commands;
        if (!log.open(QIODevice::ReadOnly)) return commands;
        for (const QByteArray& line : log.readAll().split('\n'))
            if (line.size() > 13)
                commands.append({QTime::fromString(QString::fromLatin1(line.left(12)),
                                                   QStringLiteral("hh:mm:ss.zzz"))
                                     .msecsSinceStartOfDay(),
                                 QString::fromLatin1(line.mid(13))});
        return commands;
    }
    qint64 Pid() const { return m_process.processId(); }
    QString LogPath() const { return m_dir.filePath("commands.log"); }

    // A lines.conf in configHome/Tarvex naming this modem.
    bool WriteLinesConf(const QString& configHome, const QString& name) const {
        QDir().mkpath(configHome + "/Tarvex");
        QFile conf(configHome + "/Tarvex/lines.conf");
        if (!conf.open(QIODevice::WriteOnly)) return false;
        conf.write(name.toUtf8() + " = " + Device.toUtf8() + "\n");
        return true;
    }
    QString Device;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
