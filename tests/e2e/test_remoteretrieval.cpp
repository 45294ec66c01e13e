// Remote retrieval end to end: two callers leave messages through the simulator, a third keys
// "#" and the access code during the greeting, hears both messages in order, keys Next and
// Previous and hangs up; the program then answers the next caller as usual.

#include <signal.h>

#include <QProcess>
#include <QtTest>

#include "program.h"

namespace {
struct TPlayed {
    int Index = 0;
    double Hz = 0;
};

// What the program played to the line, transfer by transfer, with each one's frequency.
QList<TPlayed> Played(const QString& folder) {
    QList<TPlayed> played;
    for (int n = 1;; ++n) {
        QFile file(QDir(folder).filePath(QString("vtx-%1.wav").arg(n)));
        if (!file.open(QIODevice::ReadOnly)) break;
        const QByteArray bytes = file.readAll();
        const quint32 rate = qFromLittleEndian<quint32>(bytes.constData() + 24);
        const QByteArray samples = bytes.mid(44);
        played << TPlayed{n, Frequency(samples.mid(samples.size() / 4, samples.size() / 2), rate)};
    }
    return played;
}

int FirstWithTone(const QList<TPlayed>& played, double hz) {
    for (const TPlayed& p : played)
        if (qAbs(p.Hz - hz) < hz * 0.03) return p.Index;
    return -1;
}
}  // namespace

class TestRemoteRetrieval : public QObject {
    Q_OBJECT
private slots:
    void aCallerHearsTheNewMessagesFromAnotherPhone() {
        QTemporaryDir played;
        TSimulator sim({"--record-dir", played.path()});
        TAnsweringFolder folder(sim);
        QProcess program;
        QVERIFY(StartProgram(program, folder.Work.filePath("config"), folder.Data));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));

        const int tones[] = {500, 1500};
        for (int caller = 0; caller < 2; ++caller) {
            sim.Script("ring");
            sim.Script(QString("cid 40455500%1 CALLER %1").arg(caller));
            sim.Script("rings 5 1");
            sim.Script("waitfor +VRX");
            sim.Script(QString("tone %1 2").arg(tones[caller]));
            sim.Script("wait 2.5");
            sim.Script("hangup b");
            QVERIFY2(HungUpAndReady(sim, caller + 1, 20000),
                     qPrintable(sim.Commands().join(" | ")));
        }

        // The third caller keys the code during the greeting: announcement, message and menu
        // of the first message; Next during its menu; the second's three; Previous; then gone.
        sim.Script("ring");
        sim.Script("cid 4045550099 ME AWAY");
        sim.Script("rings 5 1");
        sim.Script("waitfor +VTX");
        sim.Script("keys #824");
        for (int transfer = 0; transfer < 3; ++transfer)
            sim.Script("waitfor +VTX");
        sim.Script("wait 0.5");
        sim.Script("keys 3");
        for (int transfer = 0; transfer < 3; ++transfer)
            sim.Script("waitfor +VTX");
        sim.Script("wait 0.5");
        sim.Script("keys 2");
        sim.Script("waitfor +VTX");
        sim.Script("wait 0.5");
        sim.Script("hangup b");
        QVERIFY2(HungUpAndReady(sim, 3, 40000), qPrintable(sim.Commands().join(" | ")));

        const QList<TPlayed> heard = Played(played.path());
        const int first = FirstWithTone(heard, 500), second = FirstWithTone(heard, 1500);
        QString trace;
        for (const TPlayed& p : heard)
            trace += QString(" %1:%2").arg(p.Index).arg(p.Hz, 0, 'f', 0);
        qInfo("played to the line:%s", qPrintable(trace));
        QVERIFY2(first > 0 && second > first, qPrintable(trace));

        // Ready for the next caller, and the messages are still new.
        sim.Script("ring");
        sim.Script("cid 4045550100 NEXT CALLER");
        sim.Script("rings 1 1");
        QVERIFY(QTest::qWaitFor([&] { return folder.Records().size() == 4; }, 10000));
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
        const QList<CallLogRecord> records = folder.Records();
        QCOMPARE(records[3].Name, QString("NEXT CALLER"));
        for (int caller = 0; caller < 2; ++caller) {
            QCOMPARE(records[caller].Actions, quint32(LOG_TOOK_MESSAGE));
            QCOMPARE(records[caller].Heard, 0u);
        }
    }
};

QTEST_GUILESS_MAIN(TestRemoteRetrieval)
#include "test_remoteretrieval.moc"
