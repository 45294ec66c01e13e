// The built program mails what callers leave to a real mail server on the loopback address,
// and loses none: not while the server is down (the mail goes out after a restart), not when
// the server refuses the password (it waits until the password is fixed), and not when the
// program is killed while the server holds the mail (it is sent again, at most twice in all).

#include <signal.h>

#include <QSettings>
#include <QtTest>

#include "mailserver.h"
#include "program.h"

namespace {
// The program's mail settings, as an administrator would preset them, and its password file.
void SetUpMail(const TAnsweringFolder& folder, const TMailServer& server, const QString& password,
               const QString& security = "none", bool allCalls = false) {
    QSettings settings(folder.Work.filePath("config/Tarvex/Ringvale.conf"), QSettings::IniFormat);
    settings.beginGroup("Email");
    settings.setValue("Server", "127.0.0.1");
    settings.setValue("Port", server.Port);
    settings.setValue("Security", security);
    settings.setValue("User", "ringvale");
    settings.setValue("From", "Ringvale <ringvale@example.test>");
    settings.setValue("To", "me@example.test");
    settings.setValue("AllCalls", allCalls);
    settings.sync();
    QFile file(folder.Data + "/email-password");
    file.open(QIODevice::WriteOnly);
    file.write(password.toUtf8());
}

QStringList Outbox(const TAnsweringFolder& folder) {
    return QDir(folder.Data + "/Outbox").entryList({"*.eml"}, QDir::Files);
}

// The part of a mail that follows a header line, decoded from base64.
QByteArray Part(const QByteArray& mail, const QByteArray& type) {
    const qsizetype body = mail.indexOf("\r\n\r\n", mail.indexOf("Content-Type: " + type)) + 4;
    return QByteArray::fromBase64(mail.mid(body, mail.indexOf("--", body) - body));
}

const QStringList kServerLogin = {"--user", "ringvale", "--password", "right"};

// The program on a simulated line whose first caller leaves a message.
struct TMailingRun {
    TSimulator Sim;
    TAnsweringFolder Folder{Sim, 0.5};
    QProcess Program;

    bool MessageLeft() {
        return StartListening(Program, Sim, Folder) && LeavesAMessage(Sim, "cid 4045551234 MOM", 1);
    }
    // Started again, the program hands the outbox to the server and ends with it empty.
    bool DeliversOnStart(const TMailServer& server, int mails) {
        return StartListening(Program, Sim, Folder) && server.WaitForMails(mails, 15000) &&
               QTest::qWaitFor([&] { return Outbox(Folder).isEmpty(); }, 5000) && Stop(Program);
    }
};
}  // namespace

class TestMailing : public QObject {
    Q_OBJECT
private slots:
    // Over STARTTLS with a password: a call that left no message is mailed once it is over,
    // and a message with its recording, as its record names it.
    void callsAndMessagesAreMailed() {
        TCertificate certificate;
        QVERIFY(certificate.Made());
        qputenv("SSL_CERT_FILE", certificate.Cert.toUtf8());
        TMailServer server;
        QVERIFY(server.Start(kServerLogin +
                             QStringList{"--starttls", certificate.Cert, certificate.Key}));
        TSimulator sim;
        TAnsweringFolder folder(sim, 0.5);
        SetUpMail(folder, server, "right", "starttls", true);
        QProcess program;
        QVERIFY(StartListening(program, sim, folder));
        sim.Script("ring");
        sim.Script("cid 4045550001 HUNG UP");  // gone after one ring
        sim.Script("wait 8");
        QVERIFY(LeavesAMessage(sim, "cid 4045551234 MOM", 1));
        QVERIFY(server.WaitForMails(1, 15000));
        QVERIFY(server.WaitForMails(2, 45000));
        // The server has the mail before the program has its answer: only then does the mail
        // leave the outbox (stopped in between, it would be sent again).
        QVERIFY(QTest::qWaitFor([&] { return Outbox(folder).isEmpty(); }, 10000));
        QVERIFY(Stop(program));
        qunsetenv("SSL_CERT_FILE");

        const QList<QByteArray> mails = server.Mails();
        const QByteArray message = mails[0].contains("Subject: New message") ? mails[0] : mails[1];
        const QByteArray call = mails[0].contains("Subject: New message") ? mails[1] : mails[0];
        QVERIFY2(message.contains("Subject: New message from MOM (404-555-1234)\r\n"),
                 message.left(600));
        QVERIFY(call.contains("Subject: Call from HUNG UP (404-555-0001)\r\n"));
        QVERIFY(Part(call, "text/plain").contains("No message was left."));
        QVERIFY(message.contains("X-Envelope-To: me@example.test"));
        QVERIFY(message.contains("Content-Type: audio/wav"));
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 2);
        QFile recording(folder.Data + "/Messages/" + records[1].MessageFile);
        QVERIFY(recording.open(QIODevice::ReadOnly));
        const QByteArray wave = recording.readAll();
        QCOMPARE(Part(message, "audio/wav"), wave);
        // The length the mail gives is the recording's (about two and a half seconds: the
        // caller's two, then the pause before the hang-up), rounded to the second.
        const int seconds = int((wave.size() - 46) / 11025.0 + 0.5);
        QVERIFY(seconds == 2 || seconds == 3);
        QVERIFY2(
            Part(message, "text/plain").contains(QString("Length: %1 s").arg(seconds).toUtf8()),
            Part(message, "text/plain"));
    }

    // A server that cannot be reached, then one that refuses the password: the mail waits in
    // the outbox through both and goes out once the program starts with a server that takes it.
    void aMailWaitsUntilTheServerTakesIt() {
        TMailServer server;
        TMailingRun run;
        SetUpMail(run.Folder, server, "wrong");
        QVERIFY(run.MessageLeft());
        QVERIFY(QTest::qWaitFor([&] { return Outbox(run.Folder).size() == 1; }, 10000));
        QVERIFY(Stop(run.Program));

        QVERIFY(server.Start(kServerLogin));
        QVERIFY(StartListening(run.Program, run.Sim, run.Folder));
        QTest::qWait(3000);
        QVERIFY(server.Mails().isEmpty());
        QCOMPARE(Outbox(run.Folder).size(), 1);
        QVERIFY(Stop(run.Program));

        SetUpMail(run.Folder, server, "right");
        QVERIFY(run.DeliversOnStart(server, 1));
        QCOMPARE(server.Mails().size(), 1);
    }

    // Killed after the server has the mail but before it said so: the mail is sent again at
    // the next start, and only then does it leave the outbox.
    void aKillWhileSendingSendsItAgain() {
        TMailServer holding;
        QVERIFY(holding.Start(kServerLogin + QStringList{"--hold-data", "30"}));
        TMailingRun run;
        SetUpMail(run.Folder, holding, "right");
        QVERIFY(run.MessageLeft());
        QVERIFY(holding.WaitForMails(1, 15000));
        run.Program.kill();
        QVERIFY(run.Program.waitForFinished(5000));
        QCOMPARE(Outbox(run.Folder).size(), 1);
        holding.Stop();

        TMailServer server(holding.Port);
        QVERIFY(server.Start(kServerLogin));
        QVERIFY(run.DeliversOnStart(server, 1));
        QCOMPARE(holding.Mails().size() + server.Mails().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestMailing)
#include "test_mailing.moc"
