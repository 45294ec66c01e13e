// The built program against the modem simulator when a caller or a fault would take something:
// a caller ID name that looks like markup, the program told to end while a caller speaks, a
// caller who calls again at once, and a modem that resets itself in the middle of a message.

#include <signal.h>

#include <QProcess>
#include <QtTest>

#include "program.h"

namespace {
// Resident memory of a process in kB (0 when it is gone).
qint64 ResidentKb(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

// The samples of a wave file whose header matches what it holds, else empty.
QByteArray WholeWave(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 46 ||
        qFromLittleEndian<quint32>(bytes.constData() + 42) != bytes.size() - 46 ||
        qFromLittleEndian<quint32>(bytes.constData() + 4) != bytes.size() - 8)
        return {};
    return bytes.mid(46);
}

}  // namespace

class TestCallerFaults : public QObject {
    Q_OBJECT
private slots:
    // Anyone can set the name a call carries: shown as the characters it is, it can neither
    // make the program read a file nor take its memory. The call is answered, the message
    // taken and the line ready for the next caller.
    void aCallerNamedLikeMarkup() {
        TSimulator sim;
        TAnsweringFolder folder(sim, 0.5);
        QProcess program;
        QVERIFY(StartListening(program, sim, folder));
        QVERIFY2(LeavesAMessage(sim, "cid 4045551234 <img src=/dev/zero>", 1),
                 qPrintable(sim.Commands().join(" | ")));
        QCOMPARE(program.state(), QProcess::Running);
        QVERIFY(ResidentKb(program.processId()) < 200 * 1024);
        QVERIFY(Stop(program));
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].Name, QString("<img src=/dev/zero>"));
        QVERIFY(records[0].Actions & LOG_TOOK_MESSAGE);
    }

    // Ending the program while a caller speaks (the session ends, Ctrl+C, the terminal goes)
    // is the caller hanging up: what was said is kept, whole and tied to the call, the line is
    // hung up, and the program ends at once.
    void endingTheProgramWhileACallerSpeaks_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void endingTheProgramWhileACallerSpeaks() {
        QFETCH(int, signalNumber);
        TSimulator sim;
        TAnsweringFolder folder(sim, 0.5);
        QProcess program;
        QVERIFY(CallerIsSpeaking(program, sim, folder, "cid 4045551234 STILL TALKING", 2500));
        ::kill(pid_t(program.processId()), signalNumber);
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitCode(), 0);
        const QStringList commands = sim.Commands();
        QVERIFY2(commands.lastIndexOf("ATH0") > commands.indexOf("AT+VRX"),
                 qPrintable(commands.join(" | ")));
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 1);
        QVERIFY(records[0].Actions & LOG_TOOK_MESSAGE);
        const QByteArray said = WholeWave(folder.Data + "/Messages/" + records[0].MessageFile);
        QVERIFY2(said.size() >= 11025 * 3 / 2, qPrintable(QString::number(said.size())));
        QVERIFY(qAbs(Frequency(said.mid(said.size() / 4, said.size() / 2), 11025) - 700) < 25);
    }

    // Caller A rings once and gives up; caller B rings two seconds later, and B's first ring is
    // taken for A's second. B's caller ID makes a call of its own: both are logged, and B's
    // message is on B's record, whether that ring already answered the line or not.
    void twoCallersCloseTogether_data() {
        QTest::addColumn<int>("ringsToAnswer");
        QTest::newRow("answered at that ring") << 2;
        QTest::newRow("still ringing") << 4;
    }
    void twoCallersCloseTogether() {
        QFETCH(int, ringsToAnswer);
        TSimulator sim;
        TAnsweringFolder folder(sim, 0.5);
        TConfig config;
        TConfigFile().LoadConfig(config);
        config.RingsToAnswer = ringsToAnswer;
        TConfigFile().SaveConfig(config);
        QProcess program;
        QVERIFY(StartListening(program, sim, folder));
        sim.Script("ring");
        sim.Script("cid 4045550001 CALLER A");
        sim.Script("wait 2");
        QVERIFY2(LeavesAMessage(sim, "cid 4045550002 CALLER B", 1),
                 qPrintable(sim.Commands().join(" | ")));
        QVERIFY(Stop(program));
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[0].Name, QString("CALLER A"));
        QVERIFY(records[0].MessageFile.isEmpty());
        QCOMPARE(records[1].Name, QString("CALLER B"));
        QVERIFY(records[1].Actions & LOG_TOOK_MESSAGE);
        QVERIFY(WholeWave(folder.Data + "/Messages/" + records[1].MessageFile).size() >= 11025);
    }

    // A caller who hung up calls again at once: a second later (before a closing beep would
    // have ended), or while the modem is being set up again after the hang-up. The second
    // call is logged with its caller ID and answered, its message on its own record.
    void aCallerWhoCallsAgainAtOnce_data() {
        QTest::addColumn<QString>("callsAgain");
        QTest::newRow("a second later") << "wait 1";
        QTest::newRow("while the modem is set up again") << "waitfor ATZ";
        QTest::newRow("the moment the line is hung up") << "waitfor ATH0";
    }
    void aCallerWhoCallsAgainAtOnce() {
        QFETCH(QString, callsAgain);
        TSimulator sim;
        TAnsweringFolder folder(sim, 0.5);
        QProcess program;
        QVERIFY(StartListening(program, sim, folder));
        CallerSpeaks(sim, "cid 4045550003 CALLER C", 2);
        sim.Script("wait 2.5");
        sim.Script("hangup b");
        sim.Script(callsAgain);
        QVERIFY2(LeavesAMessage(sim, "cid 4045550003 CALLER C", 2),
                 qPrintable(sim.Commands().join(" | ")));
        QVERIFY(Stop(program));
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 2);
        for (const CallLogRecord& record : records) {
            QCOMPARE(record.Name, QString("CALLER C"));
            QVERIFY(record.Actions & LOG_TOOK_MESSAGE);
            QVERIFY(WholeWave(folder.Data + "/Messages/" + record.MessageFile).size() >= 11025);
        }
        QVERIFY(records[0].MessageFile != records[1].MessageFile);
    }

    // The folders under the program go while it runs: "Messages" replaced by a file, then the
    // whole data folder deleted. They are made again, every message is kept and tied to its
    // call, and the history is there after the program ends.
    void theFoldersGoWhileItRuns() {
        TSimulator sim;
        TAnsweringFolder folder(sim, 0.5);
        QProcess program;
        QVERIFY(StartListening(program, sim, folder));
        for (int caller = 0; caller < 2; ++caller) {
            if (caller == 0) {
                QVERIFY(QDir(folder.Data + "/Messages").removeRecursively());
                QVERIFY(!QFile::exists(folder.Data + "/Messages.bad"));
                QFile blocker(folder.Data + "/Messages");
                QVERIFY(blocker.open(QIODevice::WriteOnly));
            } else {
                const QByteArray first =
                    WholeWave(folder.Data + "/Messages/" + folder.Records().value(0).MessageFile);
                QVERIFY(first.size() >= 11025);  // taken in the folder made again
                QVERIFY(QFile::exists(folder.Data + "/Messages.bad"));  // the file kept aside
                QVERIFY(QDir(folder.Data).removeRecursively());
            }
            QVERIFY2(
                LeavesAMessage(sim, QString("cid 40455500%1 CALLER %1").arg(caller), caller + 1),
                qPrintable(sim.Commands().join(" | ")));
        }
        QVERIFY(Stop(program));
        // The first message went with the folder the test deleted; its call did not.
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[0].Name, QString("CALLER 0"));
        QVERIFY(records[1].Actions & LOG_TOOK_MESSAGE);
        QVERIFY(WholeWave(folder.Data + "/Messages/" + records[1].MessageFile).size() >= 11025);
        QVERIFY(QFile::exists(folder.Data + "/RINGVALE.CNF"));
    }

    // A power or USB glitch resets the modem in the middle of a message: it sends nothing more.
    // What was said is kept, the modem is set up again, and the next caller is answered.
    void aModemThatResetsWhileRecording() {
        TSimulator sim;
        TAnsweringFolder folder(sim, 0.5);
        QProcess program;
        QVERIFY(StartListening(program, sim, folder));
        CallerSpeaks(sim, "cid 4045551234 FIRST CALLER", 10);
        sim.Script("wait 2");
        sim.Script("reset");
        QVERIFY2(HungUpAndReady(sim, 1, 30000), qPrintable(sim.Commands().join(" | ")));
        QVERIFY2(LeavesAMessage(sim, "cid 4045555678 NEXT CALLER", 2),
                 qPrintable(sim.Commands().join(" | ")));
        QVERIFY(Stop(program));
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[1].Name, QString("NEXT CALLER"));
        for (const CallLogRecord& record : records) {
            QVERIFY(record.Actions & LOG_TOOK_MESSAGE);
            QVERIFY(WholeWave(folder.Data + "/Messages/" + record.MessageFile).size() >= 11025);
        }
    }
};

QTEST_GUILESS_MAIN(TestCallerFaults)
#include "test_callerfaults.moc"
