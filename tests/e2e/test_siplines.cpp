// The built program on a SIP line, against SIP callers on the loopback address: the same
// answering machine as on a modem.

#include <QUdpSocket>
#include <QtTest>
#include <cmath>

#include "program.h"
#include "sipcaller.h"

namespace {
int FreePort() {
    QUdpSocket socket;
    socket.bind(QHostAddress::LocalHost, 0);
    return socket.localPort();
}

// The program said (on its error output) that the line listens.
bool Listening(QProcess& program, QByteArray* said) {
    return QTest::qWaitFor(
        [&] { return (*said += program.readAllStandardError()).contains("listening on"); }, 10000);
}

double Loudness(const QByteArray& samples) {
    const auto* data = reinterpret_cast<const qint16*>(samples.constData());
    double sum = 0;
    for (qsizetype i = 0; i < samples.size() / 2; ++i)
        sum += double(data[i]) * data[i];
    return samples.isEmpty() ? 0 : std::sqrt(sum / double(samples.size() / 2));
}

// Whether a loud stretch of at least half a second at hz is in what a caller heard.
bool HeardTone(const QByteArray& heard, double hz) {
    const qsizetype window = 4000 * 2;
    for (qsizetype at = 0; at + window <= heard.size(); at += window / 4) {
        const QByteArray part = heard.mid(at, window);
        if (Loudness(part) > 1000 && qAbs(TSipCaller::ToneHz(part) - hz) < hz * 0.03) return true;
    }
    return false;
}
}  // namespace

class TestSipLines : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        m_uri = QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(FreePort()).toUtf8();
        m_folder = std::make_unique<TAnsweringFolder>(QStringLiteral("Sip line"),
                                                      QString::fromUtf8(m_uri), 2);
        QVERIFY(StartProgram(m_program, m_folder->Work.filePath("config"), m_folder->Data));
        QVERIFY2(Listening(m_program, &m_said), m_said.right(2000).constData());
    }

    // A caller with a name and a number rings twice, is answered, hears the greeting, speaks
    // and hangs up: the call is logged with its caller ID and the message holds what was said.
    void answersACallerAndTakesAMessage() {
        TSipCaller caller(m_folder->Work.filePath("caller1"), 440);
        QVERIFY(caller.Call(m_uri, "\"Ann Smith\" <sip:3125550199@127.0.0.1>"));
        // The second ring comes six seconds after the first.
        QVERIFY(QTest::qWaitFor([&] { return caller.Answered(); }, 15000));
        QTest::qWait(2500);  // the greeting, the beep
        const QByteArray greeting = caller.Heard();
        QTest::qWait(2500);  // the caller speaks into the recording
        caller.HangUp();

        QVERIFY2(LoggedWithMessage(1), SaidLately());
        const CallLogRecord record = m_folder->Records().last();
        QCOMPARE(record.Name, QString("Ann Smith"));
        QCOMPARE(record.Number, QString("312-555-0199"));
        QCOMPARE(record.Actions, quint32(LOG_TOOK_MESSAGE));
        // The greeting's square wave of about 551 Hz reached the caller.
        const double heard = TSipCaller::ToneHz(greeting.mid(4000, 8000));
        QVERIFY2(qAbs(heard - 551) < 30, qPrintable(QString::number(heard)));
        QFile message(m_folder->Data + "/Messages/" + record.MessageFile);
        QVERIFY(message.open(QIODevice::ReadOnly));
        const QByteArray samples = message.readAll().mid(46);
        QVERIFY2(samples.size() > 11025, qPrintable(QString::number(samples.size())));
        const double hz = Frequency(samples.mid(samples.size() / 4, samples.size() / 2), 11025);
        QVERIFY2(qAbs(hz - 440) < 15, qPrintable(QString::number(hz)));
    }

    // A caller who hangs up during the greeting (a BYE), and one who gives up while it rings (a
    // CANCEL): both are logged with their caller ID, and the line answers the next caller.
    void callersWhoHangUpEarly() {
        {
            TSipCaller caller(m_folder->Work.filePath("caller2"));
            QVERIFY(caller.Call(m_uri, "\"Bob Early\" <sip:4045550101@127.0.0.1>"));
            QVERIFY(QTest::qWaitFor([&] { return caller.Answered(); }, 15000));
            QTest::qWait(800);
            caller.HangUp();
            QVERIFY2(QTest::qWaitFor([&] { return m_folder->Records().size() == 2; }, 10000),
                     SaidLately());
        }
        {
            TSipCaller caller(m_folder->Work.filePath("caller3"));
            QVERIFY(caller.Call(m_uri, "\"Cy Gaveup\" <sip:4045550102@127.0.0.1>"));
            QTest::qWait(1500);  // one ring
            QVERIFY(!caller.Answered());
            caller.HangUp();
            QVERIFY2(QTest::qWaitFor([&] { return m_folder->Records().size() == 3; }, 10000),
                     SaidLately());
        }
        const QList<CallLogRecord> records = m_folder->Records();
        QCOMPARE(records[1].Name, QString("Bob Early"));
        QVERIFY(records[1].MessageFile.isEmpty());
        QCOMPARE(records[2].Name, QString("Cy Gaveup"));
        QVERIFY(!(records[2].Actions & LOG_TOOK_MESSAGE));
    }

    // The owner calls in, keys "#" and the access code by RFC 2833 during the greeting, and
    // hears the message the first caller left.
    void theOwnerHearsTheMessageFromAnotherPhone() {
        TSipCaller owner(m_folder->Work.filePath("owner"), 1200);
        QVERIFY(owner.Call(m_uri, "\"Me Away\" <sip:4045550099@127.0.0.1>"));
        QVERIFY(QTest::qWaitFor([&] { return owner.Answered(); }, 15000));
        QTest::qWait(700);
        owner.Keys("#824");
        QVERIFY2(QTest::qWaitFor([&] { return HeardTone(owner.Heard(), 440); }, 20000),
                 SaidLately());
        owner.HangUp();
        QVERIFY(QTest::qWaitFor([&] { return m_folder->Records().size() == 4; }, 10000));
    }

    // A caller pages the owner: once the line is free the pager is called through the line's
    // outbound peer, and once it answers hears the caller's number and "#" as touch tones
    // before the program hangs up.
    void pagesTheOwnerAfterAMessage() {
        QVERIFY(Stop(m_program));  // one program at a time
        TSipCaller pager(m_folder->Work.filePath("pager"));
        pager.TakeCalls(TSipCaller::Taking::Answer);
        const QByteArray uri = QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(FreePort()).toUtf8();
        TAnsweringFolder folder(QStringLiteral("Paging line"),
                                QStringLiteral("%1;outbound=127.0.0.1:%2")
                                    .arg(QString::fromUtf8(uri))
                                    .arg(pager.Port()),
                                1);
        TConfig config;
        TConfigFile().LoadConfig(config);
        config.SetPageMode(TConfig::PageAlways);
        config.PagerNumber = "5550142";
        config.PostPageNumber = "#";
        config.PageWait = 0.25;  // 15 s: the page is due once the caller has hung up
        TConfigFile().SaveConfig(config);
        QProcess program;
        QVERIFY(StartProgram(program, folder.Work.filePath("config"), folder.Data));
        QByteArray said;
        QVERIFY2(Listening(program, &said), said.right(2000).constData());

        TSipCaller caller(folder.Work.filePath("caller"), 440);
        QVERIFY(caller.Call(uri, "\"Dee Page\" <sip:4045550177@127.0.0.1>"));
        QVERIFY(QTest::qWaitFor([&] { return caller.Answered(); }, 15000));
        QTest::qWait(3000);
        caller.HangUp();
        // The page is due 15 s after the caller ID, then five pauses of two seconds once answered.
        QVERIFY2(QTest::qWaitFor([&] { return pager.DigitsReceived() == "4045550177#"; }, 40000),
                 (said + program.readAllStandardError()).right(3000).constData());
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].Actions & (LOG_TOOK_MESSAGE | LOG_PAGED),
                 quint32(LOG_TOOK_MESSAGE | LOG_PAGED));
        QVERIFY(Stop(program));
    }

    // Stopped during a message (SIGTERM), the program ends the call as a caller hanging up and
    // keeps what was said. Killed outright during the next one (SIGKILL), it starts again on the
    // same folder and answers the next caller.
    void stoppedOrKilledDuringAMessage() {
        if (m_program.state() != QProcess::NotRunning) QVERIFY(Stop(m_program));
        const QByteArray uri = QStringLiteral("sip:ringvale@127.0.0.1:%1").arg(FreePort()).toUtf8();
        TAnsweringFolder folder(QStringLiteral("Sip line"), QString::fromUtf8(uri), 1);
        QProcess program;
        QByteArray said;
        auto start = [&] {
            said.clear();
            return StartProgram(program, folder.Work.filePath("config"), folder.Data) &&
                   Listening(program, &said);
        };
        auto speak = [&](TSipCaller& caller, const QByteArray& from) {
            return caller.Call(uri, from) &&
                   QTest::qWaitFor([&] { return caller.Answered(); }, 15000) &&
                   (QTest::qWait(4000), true);  // the greeting, the beep, two seconds of voice
        };
        QVERIFY(start());
        TSipCaller first(folder.Work.filePath("first"), 440);
        QVERIFY(speak(first, "<sip:4045550181@127.0.0.1>"));
        QVERIFY(Stop(program));
        QVERIFY(QTest::qWaitFor([&] { return first.Ended(); }, 5000));  // it was hung up on
        QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 1);
        QFile message(folder.Data + "/Messages/" + records[0].MessageFile);
        QVERIFY2(!records[0].MessageFile.isEmpty() && message.open(QIODevice::ReadOnly),
                 qPrintable(records[0].MessageFile));
        const QByteArray samples = message.readAll().mid(46);
        QVERIFY2(samples.size() > 11025, qPrintable(QString::number(samples.size())));
        QVERIFY(qAbs(Frequency(samples.mid(samples.size() / 4, samples.size() / 2), 11025) - 440) <
                15);

        QVERIFY(start());
        {
            TSipCaller second(folder.Work.filePath("second"), 440);
            QVERIFY(speak(second, "<sip:4045550182@127.0.0.1>"));
            ::kill(pid_t(program.processId()), SIGKILL);
            QVERIFY(program.waitForFinished(5000));
        }
        QVERIFY2(start(), said.right(2000).constData());
        TSipCaller third(folder.Work.filePath("third"), 440);
        QVERIFY2(speak(third, "<sip:4045550183@127.0.0.1>"), said.right(2000).constData());
        third.HangUp();
        QVERIFY(QTest::qWaitFor(
            [&] {
                records = folder.Records();
                return !records.isEmpty() && records.last().Number == "404-555-0183" &&
                       !records.last().MessageFile.isEmpty();
            },
            10000));
        QVERIFY(Stop(program));
    }

    void cleanupTestCase() {
        if (m_program.state() != QProcess::NotRunning) QVERIFY(Stop(m_program));
    }

private:
    bool LoggedWithMessage(int count) {
        return QTest::qWaitFor(
            [&] {
                const QList<CallLogRecord> records = m_folder->Records();
                return records.size() == count && !records.last().MessageFile.isEmpty();
            },
            10000);
    }
    const char* SaidLately() {
        m_said += m_program.readAllStandardError();
        m_lately = m_said.right(3000);
        return m_lately.constData();
    }

    QByteArray m_uri;
    std::unique_ptr<TAnsweringFolder> m_folder;
    QProcess m_program;
    QByteArray m_said;
    QByteArray m_lately;
};

QTEST_MAIN(TestSipLines)
#include "test_siplines.moc"
