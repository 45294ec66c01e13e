// The built program against the modem simulator when calls end badly or the modem misbehaves:
// after each, the next caller is still logged and answered.

#include <signal.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/profile.h"
#include "program.h"
#include "simulator.h"
#include "store/calllog.h"

class TestLineRecovery : public QObject {
    Q_OBJECT
private slots:
    // Callers who hang up during the greeting (a busy tone, then silence) must leave the line
    // answering: the third caller leaves a message.
    void callersHangingUpDuringTheGreeting() {
        TSimulator sim;
        TAnsweringFolder folder(sim);
        QProcess program;
        QVERIFY(StartProgram(program, folder.Work.filePath("config"), folder.Data));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        const char* const hangUps[] = {"hangup b", "hangup s"};
        for (int caller = 0; caller < 2; ++caller) {
            sim.Script("ring");
            sim.Script(QString("cid 40455500%1 CALLER %1").arg(caller));
            sim.Script("rings 5 1");
            sim.Script("waitfor +VTX");
            sim.Script("wait 0.5");
            sim.Script(hangUps[caller]);
            QVERIFY2(HungUpAndReady(sim, caller + 1, 15000),
                     qPrintable(sim.Commands().join(" | ")));
        }
        sim.Script("ring");
        sim.Script("cid 4045550009 LAST CALLER");
        sim.Script("rings 5 1");
        sim.Script("waitfor +VRX");
        sim.Script("tone 1000 2");
        sim.Script("wait 2.5");
        sim.Script("hangup b");
        QVERIFY2(QTest::qWaitFor([&] { return sim.Commands().count("ATH0") == 3; }, 20000),
                 qPrintable(sim.Commands().join(" | ")));
        // The message is tied to its call on disk as soon as it is complete; the checks below
        // say what is missing if it never is.
        (void)QTest::qWaitFor(
            [&] {
                const QList<CallLogRecord> logged = folder.Records();
                return logged.size() == 3 && logged[2].Actions == LOG_TOOK_MESSAGE;
            },
            5000);
        Stop(program);
        QCOMPARE(program.exitCode(), 0);
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 3);
        QCOMPARE(records[2].Name, QString("LAST CALLER"));
        QVERIFY2(records[2].Actions == LOG_TOOK_MESSAGE,
                 qPrintable(records[2].MessageFile + " " + sim.Commands().join(" | ") + " " +
                            program.readAllStandardError().right(3000)));
        QVERIFY(QFile::exists(folder.Data + "/Messages/" + records[2].MessageFile));
    }

    // The modem stops answering while a call is answered (a firmware hiccup): once it answers
    // again the program reconnects by itself and logs the next caller.
    void aModemThatStopsAnsweringForAWhile() {
        TSimulator sim;
        TAnsweringFolder folder(sim);
        QProcess program;
        QVERIFY(StartProgram(program, folder.Work.filePath("config"), folder.Data));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        sim.Script("mute");
        sim.Script("ring");
        sim.Script("cid 4045550001 DURING HICCUP");
        sim.Script("rings 3 1");
        sim.Script("wait 8");
        sim.Script("unmute");
        // Set up again from scratch (the set-up ends with caller ID on).
        QVERIFY2(QTest::qWaitFor([&] { return sim.Commands().count("AT+VCID=1") >= 2; }, 40000),
                 qPrintable(sim.Commands().join(" | ")));
        QTest::qWait(300);
        sim.Script("ring");
        sim.Script("cid 4045550002 AFTER HICCUP");
        sim.Script("rings 1 1");
        QVERIFY(QTest::qWaitFor([&] { return folder.Records().size() == 2; }, 10000));
        QCOMPARE(folder.Records().last().Name, QString("AFTER HICCUP"));
        Stop(program);
        QCOMPARE(program.exitCode(), 0);
    }

    // SIGTERM while the modem has not yet answered its set-up ends the program cleanly.
    void sigtermWhileTheModemIsBeingSetUp() {
        TSimulator sim({"--silent"});
        TAnsweringFolder folder(sim);
        QProcess program;
        QVERIFY(StartProgram(program, folder.Work.filePath("config"), folder.Data));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("ATZ"); }, 10000));
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLineRecovery)
#include "test_linerecovery.moc"
