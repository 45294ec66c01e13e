// Mail as it is written, kept and handed to a real server on the loopback address: a caller
// ID cannot break out of a header, the outbox keeps its order and only its own files, and the
// sender tells a server that refuses for good from one that cannot be reached, in the
// server's own words.

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "mailserver.h"
#include "platform/mail/mailmessage.h"
#include "platform/mail/mailsettings.h"
#include "platform/mail/smtpsender.h"
#include "platform/profile.h"
#include "store/outbox.h"

namespace {
// The headers of a mail, up to the first blank line.
QList<QByteArray> Headers(const QByteArray& mail) {
    return mail.left(mail.indexOf("\r\n\r\n")).split('\n');
}

TMailSettings LocalSettings(const TMailServer& server) {
    TMailSettings settings;
    settings.Server = "127.0.0.1";
    settings.Port = server.Port;
    settings.Security = TMailSettings::None;
    settings.From = "Ringvale <ringvale@example.test>";
    settings.To = {"me@example.test", "you@example.test"};
    return settings;
}

TSmtpJob Job(const TMailSettings& settings, const QString& password = {}) {
    const QByteArray mail = ComposeMail("New message from MOM (404-555-1212)", "Length: 5 s",
                                        QDateTime::currentDateTime());
    return {settings, password, AddressMail(mail, settings.From, settings.To)};
}
}  // namespace

class TestMail : public QObject {
    Q_OBJECT
private slots:
    // A caller ID name is anyone's to choose: line breaks and other scripts are carried as
    // encoded words, never as a header of their own; the attachment comes back whole.
    void aMailHoldsWhatItWasGiven() {
        const QByteArray wave = QByteArray(5000, '\x80') + QByteArray("\r\n.\r\n") + "RIFF";
        const TMailAttachment attachment{"0001 \"x\".wav", "audio/wav", wave};
        const QString subject =
            QString("New message from EVIL\r\nBcc: all@example.test (\u00c5sa)");
        const QByteArray mail = AddressMail(
            ComposeMail(subject, "Time: now", QDateTime::currentDateTime(), &attachment),
            "me@example.test\r\nBcc: x@y", {"a@example.test"});
        for (const QByteArray& line : Headers(mail))
            QVERIFY2(!line.startsWith("Bcc"), line);
        const QByteArray subjectLine = mail.mid(mail.indexOf("Subject: "), 200);
        QVERIFY(subjectLine.contains("=?UTF-8?B?"));
        QVERIFY(mail.contains("filename=\"0001__x_.wav\""));
        // The attachment's base64 lines, decoded, are the wave as it was.
        const qsizetype body =
            mail.indexOf("\r\n\r\n", mail.indexOf("Content-Type: audio/wav")) + 4;
        const QByteArray encoded = mail.mid(body, mail.indexOf("--", body) - body);
        for (const QByteArray& line : encoded.split('\n'))
            QVERIFY(line.trimmed().size() <= 76);
        QCOMPARE(QByteArray::fromBase64(QByteArray(encoded).replace("\r\n", "")), wave);
        QCOMPARE(HeaderText("Plain text"), QByteArray("Plain text"));
    }

    // Mails come out oldest first, also when two are written in one second; a file the outbox
    // did not write, or a name that leads elsewhere, is no mail.
    void theOutboxKeepsItsOrder() {
        QTemporaryDir dir;
        TProfile::SetFolder(dir.path());
        TOutbox outbox;
        const QString first = outbox.Add("first", 1000);
        const QString second = outbox.Add("second", 1000);
        const QString older = outbox.Add("older", 999);
        QVERIFY(!first.isEmpty() && !second.isEmpty() && first != second);
        QFile stray(TOutbox::Folder() + "/notes.txt");
        QVERIFY(stray.open(QIODevice::WriteOnly));
        QCOMPARE(outbox.Names(), (QStringList{older, first, second}));
        QCOMPARE(outbox.Read(second), QByteArray("second"));
        QVERIFY(outbox.Read("../CALL.LOG").isEmpty());
        QVERIFY(!outbox.Remove("../notes.txt"));
        QVERIFY(outbox.Remove(older));
        QCOMPARE(outbox.Names(), (QStringList{first, second}));
        QCOMPARE(QFile::permissions(TOutbox::Folder() + "/" + first) &
                     (QFileDevice::ReadGroup | QFileDevice::ReadOther),
                 QFileDevice::Permissions());
    }

    // Settings an administrator wrote by hand read as meant; what the program writes reads back.
    void settingsReadAsWritten() {
        QTemporaryDir dir;
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
        {
            QSettings preset("Tarvex", "Ringvale");
            preset.setValue("Email/Server", "smtp.example.test");
            preset.setValue("Email/Security", "TLS");
            preset.setValue("Email/To", "a@example.test; b@example.test ,");
        }
        TMailSettings settings = TMailSettings::Load();
        QCOMPARE(settings.Security, TMailSettings::Tls);
        QCOMPARE(settings.To, (QStringList{"a@example.test", "b@example.test"}));
        QVERIFY(!settings.Complete());  // no sender yet
        settings.From = "me@example.test";
        settings.Port = 2465;
        settings.AllCalls = true;
        settings.Save();
        QCOMPARE(TMailSettings::Load(), settings);
    }

    // Accepted, refused for good with the server's reason, or not reached and worth another try.
    void theServerDecides() {
        TCertificate certificate;
        QVERIFY(certificate.Made());
        qputenv("SSL_CERT_FILE", certificate.Cert.toUtf8());
        TMailServer server;
        QVERIFY(server.Start({"--user", "ringvale", "--password", "right", "--starttls",
                              certificate.Cert, certificate.Key}));
        TMailSettings settings = LocalSettings(server);
        settings.Security = TMailSettings::StartTls;
        settings.User = "ringvale";

        TSmtpResult result = TSmtpSender::Transfer(Job(settings, "right"));
        QVERIFY2(result.Sent, qPrintable(result.Reason));
        QCOMPARE(server.Mails().size(), 1);
        const QByteArray received = server.Mails().first();
        QVERIFY(received.contains("X-Envelope-To: me@example.test, you@example.test"));
        QVERIFY(received.contains("X-Envelope-From: ringvale@example.test"));

        result = TSmtpSender::Transfer(Job(settings, "wrong"));
        QVERIFY(!result.Sent && result.Lasting);
        QVERIFY2(result.Reason.startsWith("535"), qPrintable(result.Reason));

        // Without the certificate authority the server's certificate is not trusted.
        qunsetenv("SSL_CERT_FILE");
        result = TSmtpSender::Transfer(Job(settings, "right"));
        QVERIFY(!result.Sent && result.Lasting);
        server.Stop();

        result = TSmtpSender::Transfer(Job(settings, "right"));
        QVERIFY(!result.Sent && !result.Lasting);
        QVERIFY(!result.Reason.isEmpty());
        QCOMPARE(server.Mails().size(), 1);
    }

    // Sending runs beside the event loop, and ending the sender ends a transfer that hangs.
    void aSilentServerHoldsNothingUp() {
        QTcpServer silent;  // takes the connection and never says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        TMailSettings settings;
        settings.Server = "127.0.0.1";
        settings.Port = silent.serverPort();
        settings.Security = TMailSettings::None;
        settings.From = "a@example.test";
        settings.To = {"b@example.test"};
        QElapsedTimer clock;
        clock.start();
        {
            TSmtpSender sender;
            bool finished = false;
            connect(&sender, &TSmtpSender::Finished, this, [&] { finished = true; });
            QVERIFY(sender.Send(Job(settings), 1));
            QVERIFY(!sender.Send(Job(settings), 2));  // one at a time
            QTest::qWait(300);
            QVERIFY(!finished);
        }
        QVERIFY(clock.elapsed() < 3000);
    }
};

QTEST_GUILESS_MAIN(TestMail)
#include "test_mail.moc"
