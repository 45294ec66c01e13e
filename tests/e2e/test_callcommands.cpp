// What the window does with a caller, end to end in one process against the simulator:
// blocking (the next call from that number is answered with the greeting and hung up on, with
// no message, and logged "Hung up") and calling back (the call is placed, answered, timed and
// costed, and reaches the placed-call history file).

#include <QCheckBox>
#include <QGroupBox>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>

#include "commands.h"
#include "controls.h"
#include "listeningwindow.h"
#include "outgoing/outgoingqueue.h"
#include "platform/clock.h"
#include "platform/telephony/v253line.h"
#include "ui/main/historytab.h"
#include "ui/main/mainform.h"
#include "ui/main/outgoingtab.h"
#include "ui/main/phonebooktab.h"

class TestCallCommands : public QObject {
    Q_OBJECT
private slots:
    void aBlockedCallerIsHungUpOn() {
        TListeningWindow window;
        TSimulator& sim = window.Sim;
        TAnsweringFolder& folder = window.Folder;
        TMainForm& form = window.Form;
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        sim.Script("ring");
        sim.Script("cid 8005550199 PEST INC");
        QVERIFY(QTest::qWaitFor([&] { return folder.Records().size() == 1; }, 10000));

        // The caller gave up after one ring; the row is blocked from the history.
        QTreeWidgetItem* row = ControlOf<QTreeWidget>(form, "historyList")->topLevelItem(0);
        QCOMPARE(row->text(0), QString("PEST INC"));
        form.History()->SelectOnly(row);
        form.PhoneBook()->RunEntryDialog = [](TGetNewName& dialog) {
            dialog.OKButtonClick();
            return dialog.result();
        };
        QMenu* menu = form.History()->BuildPopup();
        MenuAction(*menu, "BlockCaller")->trigger();
        delete menu;
        QCOMPARE(form.Session().PhoneBook().Entries.size(), size_t(1));

        // The first call ends when no ring follows; the line is then set up again.
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().count("AT+VCID=1") == 2; }, 30000));
        const qsizetype before = sim.Commands().size();
        sim.Script("ring");
        sim.Script("cid 8005550199 PEST INC");
        sim.Script("rings 3 1");
        const bool hungUp =
            QTest::qWaitFor([&] { return sim.Commands().mid(before).contains("ATH0"); }, 30000);
        if (!hungUp) qWarning() << sim.Commands().mid(before);
        QVERIFY(hungUp);
        const QStringList after = sim.Commands().mid(before);
        QVERIFY(after.contains("AT+VLS=1"));           // answered
        QVERIFY(after.join(' ').contains("AT+VTX"));   // the greeting was played
        QVERIFY(!after.join(' ').contains("AT+VRX"));  // nothing was recorded
        QVERIFY(QTest::qWaitFor([&] { return folder.Records().size() == 2; }, 10000));
        const CallLogRecord second = folder.Records().last();
        QVERIFY(second.Actions & LOG_HUNG_UP);
        QVERIFY(second.MessageFile.isEmpty());
        QCOMPARE(LogActionText(second.Actions).trimmed(), QString("Hung up"));
        QCOMPARE(form.Session().PhoneBook().Entries.front()->TimesCalled, 1);
        form.SaveAll();
    }

    // Call back from the history: dialled at the next tick, answered, hung up by the far end
    // after a few seconds; the history file has the call with its length and cost.
    void aCallPlacedFromTheHistory() {
        TListeningWindow window;
        TSimulator& sim = window.Sim;
        TAnsweringFolder& folder = window.Folder;
        TMainForm& form = window.Form;
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        // Connected by itself at start, the speaker phone can be chosen at once.
        QVERIFY(QTest::qWaitFor(
            [&] { return ControlOf<QCheckBox>(form, "UseSpeakerPhoneButton")->isEnabled(); },
            5000));
        sim.Script("ring");
        sim.Script("cid 7705550143 PATEL R");
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().count("AT+VCID=1") == 2; }, 30000));

        sim.Script("dialresult answer");
        form.History()->SelectOnly(ControlOf<QTreeWidget>(form, "historyList")->topLevelItem(0));
        form.History()->CallSelected();
        QCOMPARE(ControlOf<QTreeWidget>(form, "ToCallListView")->topLevelItemCount(), 1);
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().join(' ').contains("ATD"); }, 10000));
        QVERIFY(sim.Commands().join(' ').contains("7705550143"));
        QVERIFY(QTest::qWaitFor(
            [&] { return ControlOf<QGroupBox>(form, "ThisCallGroup")->isVisibleTo(&form); },
            10000));
        sim.Script("wait 5");
        sim.Script("hangup");
        QVERIFY(QTest::qWaitFor(
            [&] { return form.Session().OutgoingHistory().Root()->Children.size() == 1; }, 20000));
        QCOMPARE(ControlOf<QTreeWidget>(form, "ToCallListView")->topLevelItemCount(), 0);
        QFile file(folder.Data + "/Outgoing call history.och");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), TOCALL::kSize);
        const TOCALL placed = TOCALL::FromBytes(bytes);
        QCOMPARE(placed.Name, QString("PATEL R"));
        const double seconds = (placed.EndTime - placed.StartTime) * 86400;
        QVERIFY2(seconds > 2 && seconds < 20, qPrintable(QString::number(seconds)));
        QVERIFY(!placed.IsLocal());  // no area codes set: long distance
        QVERIFY(placed.CostFirst > 0);
        form.SaveAll();
    }

    // An international caller is logged and called back by the whole number; a busy number
    // is tried again, as a failed attempt is.
    void anInternationalCallerCalledBackMeetsBusy() {
        TListeningWindow window;
        TSimulator& sim = window.Sim;
        TMainForm& form = window.Form;
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().contains("AT+VCID=1"); }, 10000));
        sim.Script("ring");
        sim.Script("cid 442079460958 LONDON OFFICE");
        QVERIFY(QTest::qWaitFor([&] { return sim.Commands().count("AT+VCID=1") == 2; }, 30000));
        QTreeWidgetItem* row = ControlOf<QTreeWidget>(form, "historyList")->topLevelItem(0);
        QCOMPARE(row->text(1), QString("442079460958"));
        QCOMPARE(window.Folder.Records().last().Number, QString("442079460958"));

        sim.Script("dialresult busy");
        form.History()->SelectOnly(row);
        form.History()->CallSelected();
        TOutgoingQueue& queue = form.Session().Outgoing();
        QVERIFY(QTest::qWaitFor(
            [&] { return !queue.Rows().empty() && queue.Rows().front()->Status == "Retry 1"; },
            20000));
        QCOMPARE(sim.Commands().filter("ATD").size(), 1);
        QVERIFY2(sim.Commands().filter("ATD").first().endsWith("442079460958"),
                 qPrintable(sim.Commands().filter("ATD").first()));
        QVERIFY(form.Session().OutgoingHistory().Root()->Children.empty());

        // Due again (as "Call" on the row does), it meets no dial tone: still queued.
        sim.Script("dialresult nodialtone");
        queue.Rows().front()->Call->When = TClock::NowDays();
        QVERIFY(QTest::qWaitFor([&] { return queue.Rows().front()->Status == "Retry 2"; }, 20000));
        QCOMPARE(sim.Commands().filter("ATD").size(), 2);
        QVERIFY(form.Session().OutgoingHistory().Root()->Children.empty());
        form.SaveAll();
    }
};

QTEST_MAIN(TestCallCommands)
#include "test_callcommands.moc"
