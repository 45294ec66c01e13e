// The mailer's patience with a real server on the loopback address: a server that cannot be
// reached is tried again after a delay that grows, and said so once; a refusal holds the mail
// until new settings come, which send it at once. Nothing leaves the outbox unsent.

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "calls/session.h"
#include "mailserver.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "recordingview.h"
#include "wavefile.h"

namespace {
constexpr qint64 kStart = 1'800'000'000;

// A call with a message of one second on disk, as the call log holds it once it is complete.
QString LogMessage(TCallLog& log, const QString& name) {
    CallLogRecord* record = log.NewLogRecord();
    TCallLog::FillLogRecord(record, "MOM", "4045551234");
    record->MessageFile = name;
    record->Actions |= LOG_TOOK_MESSAGE;
    QFile file(TCallLog::MessagesFolder() + "/" + name);
    if (file.open(QIODevice::WriteOnly)) file.write(Wave(8000, QByteArray(8000, '\x80')));
    return name;
}
}  // namespace

class TestMailer : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() {
        TProfile::SetFolder(m_dir.path());
        QDir().mkpath(TCallLog::MessagesFolder());
        TClock::Set(kStart);
    }

    void aServerThatIsDownThenRefusesThenTakesTheMail() {
        TMailServer server;
        TRecordingView view;
        TSession session(view);
        TMailer& mailer = session.Mailer();
        QSignalSpy status(&mailer, &TMailer::Status);
        TMailSettings settings;
        settings.Server = "127.0.0.1";
        settings.Port = server.Port;
        settings.Security = TMailSettings::None;
        settings.User = "ringvale";
        settings.From = "ringvale@example.test";
        settings.To = {"me@example.test"};
        mailer.Apply(settings, "wrong");
        TOutbox outbox;

        mailer.MessageRecorded(LogMessage(session.CallLog(), "0001.wav"));
        QCOMPARE(outbox.Names().size(), 1);  // kept before the first try
        QVERIFY(status.wait(10000));
        QVERIFY(status.last().first().toString().startsWith("Mail not sent yet"));

        // Tried again after 30 s, then after 60 s more; the user is told only once.
        QVERIFY(server.Start({"--user", "ringvale", "--password", "right"}));
        mailer.Tick(kStart + 29);
        QVERIFY(!status.wait(500));
        TClock::Set(kStart + 30);
        mailer.Tick(kStart + 30);
        QVERIFY(status.wait(10000));  // the server now answers, and refuses the password
        QVERIFY2(status.last().first().toString().contains("535"),
                 qPrintable(status.last().first().toString()));
        mailer.Tick(kStart + 10000);
        QVERIFY(!status.wait(500));
        QCOMPARE(status.size(), 2);
        QVERIFY(server.Mails().isEmpty());
        QCOMPARE(outbox.Names().size(), 1);

        // The fixed password sends it at once, and the outbox is empty.
        mailer.Apply(settings, "right");
        QVERIFY(server.WaitForMails(1, 10000));
        QVERIFY(QTest::qWaitFor([&] { return outbox.Names().isEmpty(); }, 5000));
        QVERIFY(server.Mails().first().contains("Subject: New message from MOM (404-555-1234)"));
    }
};

QTEST_MAIN(TestMailer)
#include "test_mailer.moc"
