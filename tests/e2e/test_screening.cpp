// Screening through the built program and the simulator: a caller the phone book hangs up on
// with the disconnected tones hears the three rising tones, each as long as it should be, and
// the line is hung up and answers the next caller.

#include <QProcess>
#include <QtTest>

#include "program.h"
#include "store/config.h"
#include "store/phonebook.h"

namespace {
// The samples of the first transfer the program played to the line (8 kHz).
QByteArray FirstPlayed(const QString& folder) {
    QFile file(QDir(folder).filePath("vtx-1.wav"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().mid(44) : QByteArray();
}

// The frequency of the played sound between two times in milliseconds.
double HzBetween(const QByteArray& samples, int fromMs, int toMs) {
    return Frequency(samples.mid(fromMs * 8, (toMs - fromMs) * 8), 8000);
}
}  // namespace

class TestScreening : public QObject {
    Q_OBJECT
private slots:
    void aRobocallerHearsANumberNotInService() {
        QTemporaryDir played;
        TSimulator sim({"--record-dir", played.path()});
        TAnsweringFolder folder(sim, 0.5);
        TPhoneBook book;
        PhoneBookEntry robocaller;
        robocaller.DisplayName = "Robocaller";
        robocaller.Number = "800*";
        robocaller.ActionFlags = ActionHangUp | ActionDisconnectedTone;
        book.Add(robocaller);
        QVERIFY(book.SavePhoneBook());
        QProcess program;
        QVERIFY(StartListening(program, sim, folder));
        sim.Script("ring");
        sim.Script("cid 8005550199 CAR WARRANTY");
        QVERIFY(HungUpAndReady(sim, 1, 20000));

        const QByteArray tones = FirstPlayed(played.path());
        QVERIFY2(qAbs(tones.size() - 928 * 8) < 20 * 8, qPrintable(QString::number(tones.size())));
        const struct {
            int From, To;
            double Hz;
        } parts[] = {{10, 264, 913.8},   {284, 538, 1370.6}, {558, 918, 1776.7}, {230, 264, 913.8},
                     {284, 320, 1370.6}, {520, 538, 1370.6}, {558, 600, 1776.7}};
        for (const auto& part : parts)
            QVERIFY2(qAbs(HzBetween(tones, part.From, part.To) - part.Hz) < part.Hz * 0.02,
                     qPrintable(QString("%1-%2 ms: %3 Hz")
                                    .arg(part.From)
                                    .arg(part.To)
                                    .arg(HzBetween(tones, part.From, part.To))));

        QVERIFY(LeavesAMessage(sim, "cid 4045551234 MOM", 2));
        QVERIFY(Stop(program));
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 2);
        QVERIFY(records[0].Actions & LOG_HUNG_UP);
        QVERIFY(records[1].Actions & LOG_TOOK_MESSAGE);
    }

    // A person lifts an extension while a caller speaks: the line is let go within a second,
    // what was said is kept and the call logged "Picked up". Lifted while it rings, the call is
    // not answered at all. Put down again, the next caller is answered as usual.
    void stepsAsideWhenSomeonePicksUp() {
        TSimulator sim;
        TAnsweringFolder folder(sim, 0.5);
        QProcess program;
        QVERIFY(CallerIsSpeaking(program, sim, folder, "cid 4045551234 MOM", 2000));
        const int lifted = QTime::currentTime().msecsSinceStartOfDay();
        sim.Script("extension up");
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("ATH0"); }, 5000));
        for (const auto& [at, command] : sim.TimedCommands())
            if (command == "ATH0")
                QVERIFY2(at - lifted < 1000, qPrintable(QString::number(at - lifted)));
        sim.Script("wait 1");
        sim.Script("extension down");
        QVERIFY(HungUpAndReady(sim, 1, 20000));

        sim.Script("ring");
        sim.Script("cid 4045550002 AUNT MAY");
        sim.Script("extension up");
        sim.Script("wait 8");
        sim.Script("extension down");
        sim.Script("wait 1");
        QVERIFY(LeavesAMessage(sim, "cid 4045550003 BOB", 2));
        QVERIFY(Stop(program));
        QCOMPARE(sim.Commands().count("AT+VLS=1"), 2);  // the first and the third caller

        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 3);
        QVERIFY(records[0].Actions & LOG_PICKED_UP);
        QVERIFY(records[0].Actions & LOG_TOOK_MESSAGE);
        QFile said(folder.Data + "/Messages/" + records[0].MessageFile);
        QVERIFY(said.size() > 11025);  // the two seconds before the pick-up
        QCOMPARE(records[1].Name, QString("AUNT MAY"));
        QVERIFY(records[1].Actions & LOG_PICKED_UP);
        QVERIFY(!(records[2].Actions & LOG_PICKED_UP));
        QVERIFY(records[2].Actions & LOG_TOOK_MESSAGE);
    }

    // With callers the phone book does not know screened: one who presses a key during the
    // prompt leaves a message as usual; one who presses none is hung up on after six seconds
    // and logged "Screened out".
    void strangersMustPressAKey() {
        QTemporaryDir played;
        TSimulator sim({"--record-dir", played.path()});
        TAnsweringFolder folder(sim, 0.5);
        TConfig config;
        TConfigFile().LoadConfig(config);
        config.SetScreenUnknownCallers(true);
        TConfigFile().SaveConfig(config);
        QProcess program;
        QVERIFY(StartListening(program, sim, folder));

        sim.Script("ring");
        sim.Script("cid 4045550001 A PERSON");
        sim.Script("waitfor +VTX");
        sim.Script("wait 1");
        sim.Script("keys 5");
        sim.Script("waitfor +VRX");
        sim.Script("tone 700 2");
        sim.Script("wait 2.5");
        sim.Script("hangup b");
        QVERIFY(HungUpAndReady(sim, 1, 30000));
        QCOMPARE(sim.Commands().count("AT+VLS=1"), 1);  // answered after the caller ID

        sim.Script("ring");
        sim.Script("cid 8005550002 DIALLER");
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().count("AT+VLS=1") == 2; }, 10000));
        QVERIFY(HungUpAndReady(sim, 2, 30000));
        QVERIFY(!sim.Commands().mid(sim.Commands().lastIndexOf("AT+VLS=1")).contains("AT+VRX"));
        QVERIFY(Stop(program));

        // The first call's prompt is the shipped one: the caller heard it first.
        QFile prompt(played.filePath("vtx-1.wav"));
        QVERIFY(prompt.size() > 8000 * 2);
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records.size(), 2);
        QVERIFY(records[0].Actions & LOG_TOOK_MESSAGE);
        QVERIFY(!(records[0].Actions & LOG_SCREENED_OUT));
        QVERIFY(records[1].Actions & LOG_SCREENED_OUT);
        QVERIFY(records[1].MessageFile.isEmpty());
        QCOMPARE(TrimBlanks(LogActionText(records[1].Actions)), QString("Screened out"));
    }
};

QTEST_GUILESS_MAIN(TestScreening)
#include "test_screening.moc"
