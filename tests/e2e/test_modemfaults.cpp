// The main window in this process on a simulated modem that misbehaves: unplugged in the
// middle of a call, flooding the line with rings, garbage and NULs, held by another program.
// The window keeps running, its thread never stalls for long, what the caller said before the
// modem went is kept, the user is told, and the line comes back by itself with the modem.

#include <unistd.h>

#include <QLabel>
#include <QtTest>

#include "controls.h"
#include "platform/telephony/portlock.h"
#include "platform/telephony/v253line.h"
#include "program.h"
#include "stallmeter.h"
#include "ui/main/mainform.h"

namespace {

constexpr qint64 kLongestStallMs = 100;

// The simulator behind a link that goes when it is unplugged and comes back when it is plugged
// in again, as a USB modem's device name does.
struct TUnpluggableModem {
    // With a lock of another program on the port before the window opens the modem.
    explicit TUnpluggableModem(bool heldByAnother = false) : HeldByAnother(heldByAnother) {}
    const bool HeldByAnother;
    QTemporaryDir LinkDir;
    QString Link = LinkDir.filePath("ttyACM0");
    TSimulator Sim{{"--link", Link}};
    TAnsweringFolder Folder{Sim, 0.5};
    bool LinesConf = [this] {
        QFile conf(Folder.Work.filePath("config") + "/Tarvex/lines.conf");
        qputenv("XDG_CONFIG_HOME", Folder.Work.filePath("config").toUtf8());
        return conf.open(QIODevice::WriteOnly) && conf.write("Sim modem = " + Link.toUtf8() + "\n");
    }();
    TV253Provider Modems;
    TStallMeter Stalls;
    bool Locked = !HeldByAnother || LockForAnother();
    TMainForm Form;

    // The lock file another program (this test's parent) leaves on the port.
    bool LockForAnother() const {
        QFile lock(TPortLock(Link).Path());
        return lock.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               lock.write(QByteArray::number(qint64(getppid())).rightJustified(10, ' ') + "\n") > 0;
    }

    QString Status() { return ControlOf<QLabel>(Form, "StatusLabel")->text(); }
    bool Listening(int times, int timeoutMs = 15000) {
        return QTest::qWaitFor([&] { return Sim.Commands().count("AT+VCID=1") >= times; },
                               timeoutMs);
    }
    void Ring(const QString& number, const QString& name) {
        Sim.Script("ring");
        Sim.Script(QStringLiteral("cid %1 %2").arg(number, name));
        Sim.Script("rings 5 0.5");
    }
};

}  // namespace

class TestModemFaults : public QObject {
    Q_OBJECT
private slots:
    // Unplugged during the greeting, then during the recording: each time the window says it
    // is waiting for the modem, the call is logged, the words said before the modem went are
    // kept as the call's message, and once the modem is back the window listens again.
    void unpluggedMidGreetingAndMidRecording() {
        TUnpluggableModem modem;
        QVERIFY(modem.Listening(1));

        modem.Ring("3125550111", "IN GREETING");
        modem.Sim.Script("waitfor +VTX");
        modem.Sim.Script("wait 0.2");
        modem.Sim.Script("close");
        QVERIFY(QTest::qWaitFor([&] { return modem.Status() == "Waiting for modem"; }, 10000));
        // Its device name is gone while it is unplugged, as a USB modem's is, and comes back.
        QVERIFY(!QFileInfo(modem.Link).isSymLink());
        modem.Sim.Script("wait 1");
        modem.Sim.Script("replug");
        QVERIFY(modem.Listening(2));
        QVERIFY(QFileInfo(modem.Link).isSymLink());
        QVERIFY(QTest::qWaitFor([&] { return modem.Status().startsWith("Listening"); }, 5000));

        modem.Ring("3125550112", "IN RECORDING");
        modem.Sim.Script("waitfor +VRX");
        modem.Sim.Script("tone 900 3");
        modem.Sim.Script("wait 1.5");
        modem.Sim.Script("close");
        QVERIFY(QTest::qWaitFor([&] { return modem.Status() == "Waiting for modem"; }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return modem.Folder.Records().size() == 2; }, 5000));
        const CallLogRecord cut = modem.Folder.Records().last();
        QCOMPARE(cut.Name, QString("IN RECORDING"));
        QVERIFY2(!cut.MessageFile.isEmpty(), "the words before the unplug were lost");
        QFile message(modem.Folder.Data + "/Messages/" + cut.MessageFile);
        QVERIFY(message.open(QIODevice::ReadOnly));
        const QByteArray samples = message.readAll().mid(46);
        QVERIFY2(samples.size() > 11025 / 2, qPrintable(QString::number(samples.size())));
        QVERIFY(qAbs(Frequency(samples, 11025) - 900) < 30);

        modem.Sim.Script("replug");
        QVERIFY(modem.Listening(3));
        QVERIFY2(modem.Stalls.LongestMs() < kLongestStallMs,
                 qPrintable(QString::number(modem.Stalls.LongestMs())));
    }

    // Five hundred rings at once (answered as any call, and hung up on by the far end), then
    // 100 KB of garbage without a line end and NULs: the window keeps up, and the next caller
    // is logged and leaves a message as usual.
    void floodsOfRingsGarbageAndNuls() {
        TUnpluggableModem modem;
        QVERIFY(modem.Listening(1));
        modem.Stalls.Reset();
        modem.Sim.Script("flood 500");
        modem.Sim.Script("waitfor +VTX");
        modem.Sim.Script("hangup b");
        QVERIFY2(HungUpAndReady(modem.Sim, 1, 20000), qPrintable(modem.Sim.Commands().join(" | ")));
        modem.Sim.Script("garbage 102400");
        modem.Sim.Script("send \\0\\0\\0\\r\\n\\0OK\\0\\r\\n");
        modem.Sim.Script("wait 1");
        modem.Ring("3125550113", "AFTER FLOOD");
        modem.Sim.Script("waitfor +VRX");
        modem.Sim.Script("tone 700 1");
        modem.Sim.Script("wait 1");
        modem.Sim.Script("hangup b");
        QVERIFY2(HungUpAndReady(modem.Sim, 2, 30000), qPrintable(modem.Sim.Commands().join(" | ")));
        const QList<CallLogRecord> records = modem.Folder.Records();
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.last().Name, QString("AFTER FLOOD"));
        QCOMPARE(records.last().Actions, quint32(LOG_TOOK_MESSAGE));
        qInfo("longest stall of the window: %lld ms", modem.Stalls.LongestMs());
        QVERIFY2(modem.Stalls.LongestMs() < kLongestStallMs,
                 qPrintable(QString::number(modem.Stalls.LongestMs())));
    }

    // Another program holds the port's lock at start-up: the window says it waits for the
    // modem and why, and takes the modem once the lock is gone. The lock taken from it while
    // connected: the line goes, the window says so, and it comes back when the lock does.
    void aPortHeldByAnotherProgram() {
        TUnpluggableModem modem(true);
        QVERIFY(modem.Locked);
        QFile lock(TPortLock(modem.Link).Path());
        QVERIFY(QTest::qWaitFor([&] { return modem.Status() == "Waiting for modem"; }, 10000));
        const QString why = ControlOf<QLabel>(modem.Form, "StatusLabel")->toolTip();
        QVERIFY2(why.contains("unavailable"), qPrintable(why));
        QVERIFY(modem.Sim.Commands().isEmpty());  // the modem was left alone
        QVERIFY(lock.remove());
        QVERIFY(modem.Listening(1, 30000));

        QVERIFY(modem.LockForAnother());
        QVERIFY(QTest::qWaitFor([&] { return modem.Status() == "Waiting for modem"; }, 10000));
        QCOMPARE(TPortLock::OwnerOf(lock.fileName()), qint64(getppid()));  // theirs, left alone
        QVERIFY(lock.remove());
        QVERIFY(modem.Listening(2, 30000));
        QVERIFY2(modem.Stalls.LongestMs() < kLongestStallMs,
                 qPrintable(QString::number(modem.Stalls.LongestMs())));
    }
};

QTEST_MAIN(TestModemFaults)
#include "test_modemfaults.moc"
