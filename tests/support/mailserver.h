#pragma once
// A real mail server on the loopback address (smtpserver.py on the system's Python with
// aiosmtpd, RINGVALE_SMTPSERVER and RINGVALE_PYTHON), and a certificate for it made by
// openssl. The server keeps each mail it accepts as a file; Mails() reads them back.

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include "certificate.h"

// A port no one listens on now.
inline int FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class TMailServer {
public:
    explicit TMailServer(int port = FreePort()) : Port(port) {}
    ~TMailServer() { Stop(); }

    // Starts listening with more of smtpserver.py's options ("--user", ...); true once ready.
    bool Start(const QStringList& options = {}) {
        m_process.setProgram(QStringLiteral(RINGVALE_PYTHON));
        m_process.setArguments(QStringList{RINGVALE_SMTPSERVER, "--port", QString::number(Port),
                                           "--folder", Folder()} +
                               options);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        return m_process.waitForStarted(5000) &&
               QTest::qWaitFor([&] { return m_process.readAll().contains("READY"); }, 15000);
    }
    void Stop() {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.closeWriteChannel();  // the server ends when its input does
        if (!m_process.waitForFinished(5000)) m_process.kill();
        m_process.waitForFinished(2000);
    }
    QString Folder() const { return m_dir.filePath("received"); }
    QList<QByteArray> Mails() const {
        QList<QByteArray> mails;
        const QDir folder(Folder());
        for (const QString& name : folder.entryList({"*.eml"}, QDir::Files, QDir::Name)) {
            QFile file(folder.filePath(name));
            if (file.open(QIODevice::ReadOnly)) mails << file.readAll();
        }
        return mails;
    }
    bool WaitForMails(int count, int timeoutMs) const {
        return QTest::qWaitFor([&] { return Mails().size() >= count; }, timeoutMs);
    }

    const int Port;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
