// Hearing a message at the desk, end to end in one process: the main window connects to the
// modem simulator, a caller leaves a message, and the message is played from the history on a
// test sound device and heard in full.

#include <QtTest>

#include "listeningwindow.h"
#include "platform/telephony/v253line.h"
#include "platform/wave/testdevice.h"
#include "ui/main/historytab.h"
#include "ui/main/mainform.h"

class TestDeskListening : public QObject {
    Q_OBJECT
private slots:
    void aMessageLeftThroughTheModemIsHeardInFull() {
        TListeningWindow window;
        TSimulator& sim = window.Sim;
        TAnsweringFolder& folder = window.Folder;
        TMainForm& form = window.Form;
        QVERIFY(QTest::qWaitFor([&] { return form.Session().Line() != nullptr; }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        sim.Script("ring");
        sim.Script("cid 4045551212 GARCIA MARIA");
        sim.Script("rings 5 1");
        sim.Script("waitfor +VRX");
        sim.Script("tone 800 2");
        sim.Script("wait 2.5");
        sim.Script("hangup b");
        QVERIFY(QTest::qWaitFor([&] { return form.History()->NewMessages() == 1; }, 30000));
        const CallLogRecord& record = form.Session().CallLog().Records.back();
        QFile message(folder.Data + "/Messages/" + record.MessageFile);
        QVERIFY(message.open(QIODevice::ReadOnly));
        const QByteArray samples = message.readAll().mid(46);

        TTestWaveDevice speaker(true, false);
        TWaveDevices::Register(2500, &speaker);
        form.History()->RunPlayer = [&](TPlayWaveForm& player) {
            player.Device = 2500;
            player.PlayButtonClick();
            return QTest::qWaitFor([&] { return player.Status() == "Done playing"; }, 10000)
                       ? int(PLAYER_KEEP)
                       : int(PLAYER_CLOSED);
        };
        form.History()->NewMessagesButtonClick();
        QCOMPARE(speaker.Played, samples);  // every byte the caller left
        QCOMPARE(form.History()->NewMessages(), 0);
        TWaveDevices::Unregister(2500);
        form.SaveAll();
    }
};

QTEST_MAIN(TestDeskListening)
#include "test_desklistening.moc"
