// The outgoing calls tab offscreen: queued rows and their texts as the fixed clock moves,
// delete (a page too), the placed-call tree, its list and totals from a hand-made history
// file, the quick dial dialog, and the Call commands of the history, the phone book and the
// placed calls, behind the dialling password.

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>
#include <QtTest>

#include "controls.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "scriptedprompts.h"
#include "store/config.h"
#include "store/outgoinghistory.h"
#include "ui/main/historytab.h"
#include "ui/main/mainform.h"
#include "ui/main/outgoingtab.h"
#include "ui/main/phonebooktab.h"

namespace {
constexpr qint64 kNow = 1796000000;  // a fixed moment
const double kDay = 1.0;
const double kSecond = 1.0 / 86400;

TOCALL Call(const QString& name, const QString& number, double when) {
    TOCALL call;
    call.Name = name;
    call.NumberToDial = number;
    call.When = when;
    return call;
}
}  // namespace

class TestOutgoingTab : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;

    std::unique_ptr<TMainForm> Form(const std::function<void(TConfig&)>& change = {}) {
        TConfig config;
        config.SetFlashCaller(false);
        config.SetShowOutgoingCallsButton(true);
        if (change) change(config);
        TConfigFile().SaveConfig(config);
        auto form = std::make_unique<TMainForm>();
        form->show();
        ControlOf<QTabWidget>(*form, "pageTabs")
            ->setCurrentWidget(ControlOf<QWidget>(*form, "ToCallList"));
        return form;
    }
    static QStringList RowTexts(QTreeWidget* list, int row) {
        QStringList texts;
        for (int c = 0; c < list->columnCount(); ++c)
            texts << list->topLevelItem(row)->text(c);
        return texts;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        TProfile::SetFolder(m_dir->path());
        TClock::Set(kNow);
    }
    void cleanup() { TClock::UseSystem(); }

    // A queued call counts down with each tick; due with no line it waits for the modem; a
    // queued page shows too and both can be deleted before they are dialled.
    void queuedRowsTickAndDelete() {
        auto form = Form();
        QTreeWidget* list = ControlOf<QTreeWidget>(*form, "ToCallListView");
        const double now = TClock::NowDays();
        form->OutgoingCalls()->Queue(Call("Dr. Patel", "770-555-0143", now + 90 * kSecond));
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(5), QString("Waiting"));
        form->OnTick();
        QCOMPARE(list->topLevelItem(0)->text(4), QString("00:01:30"));
        TClock::Advance(60);
        form->OnTick();
        QCOMPARE(list->topLevelItem(0)->text(4), QString("00:00:30"));
        TClock::Advance(31);
        form->OnTick();
        QCOMPARE(RowTexts(list, 0).mid(4), QStringList({"00:00:00", "Waiting for connect"}));

        form->Session().Config().PagerNumber = "555-0188";
        form->Session().Outgoing().QueuePage("4045551212", 60);
        form->OnTick();
        QCOMPARE(list->topLevelItemCount(), 2);
        QVERIFY(list->topLevelItem(1)->text(2).startsWith("4045551212"));  // due later: below
        list->topLevelItem(1)->setSelected(true);
        QVERIFY(ControlOf<QToolButton>(*form, "DeleteToCallButton")->isEnabled());
        ControlOf<QToolButton>(*form, "DeleteToCallButton")->click();
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(form->Session().Outgoing().Rows().size(), size_t(1));

        // With the list switched off nothing can be added here, yet the queue still works.
        ControlOf<QCheckBox>(*form, "ShowOutgoingCallsButton")->click();
        QVERIFY(!form->Session().Config().ShowOutgoingCallsButton());
        QVERIFY(!ControlOf<QToolButton>(*form, "OutgoingCallButton")->isEnabled());
        QVERIFY(ControlOf<QWidget>(*form, "OCPanel")->isHidden());
    }

    // The tree of a hand-made history: a node lists its calls; the totals follow the node.
    void placedCallTreeAndTotals() {
        {
            TOutgoingHistory history;
            TOCALL call = Call("Mom", "404-555-1212", 46000.5);
            call.StartTime = 46000.5;
            call.EndTime = 46000.5 + 600 * kSecond;
            call.CallFlags = 1;
            history.AddPlacedCall(call);
            call = Call("Dr. Patel", "770-555-0143", 46001.25);
            call.StartTime = 46001.25;
            call.EndTime = 46001.25 + 120 * kSecond;
            call.CostFirst = 0.2;
            history.AddPlacedCall(call);
            call.When = call.StartTime = 46002.25;
            call.EndTime = call.StartTime + 60 * kSecond;
            call.CostFirst = 0.1;
            history.AddPlacedCall(call);
        }
        TScriptedPrompts prompts;
        auto form = Form();
        const QObject& ui = *form;
        QTreeWidgetItem* root = ControlOf<QTreeWidget>(ui, "placedCallTree")->topLevelItem(0);
        QCOMPARE(root->text(0), QString("Calls"));
        QCOMPARE(root->childCount(), 2);
        QCOMPARE(ControlOf<QTreeWidget>(ui, "PlaceCallHistoryList")->topLevelItemCount(), 3);
        QCOMPARE(ControlOf<QLabel>(ui, "TotalCostLabel")->text(), QString("$0.30"));
        QCOMPARE(ControlOf<QLabel>(ui, "TotalLengthLabel")->text(), QString("00:13:00"));
        QCOMPARE(ControlOf<QLabel>(ui, "MeanLengthLabel")->text(), QString("00:04:20"));
        QTreeWidgetItem* patel = ControlOf<QTreeWidget>(ui, "placedCallTree")
                                     ->findItems("Dr. Patel", Qt::MatchRecursive)[0];
        ControlOf<QTreeWidget>(ui, "placedCallTree")->setCurrentItem(patel);
        QCOMPARE(ControlOf<QTreeWidget>(ui, "PlaceCallHistoryList")->topLevelItemCount(), 2);
        QCOMPARE(ControlOf<QLabel>(ui, "TotalCostLabel")->text(), QString("$0.30"));
        QCOMPARE(ControlOf<QLabel>(ui, "MeanCostLabel")->text(), QString("$0.15"));

        // The menu calls the selected placed call again, due now.
        ControlOf<QTreeWidget>(ui, "PlaceCallHistoryList")->topLevelItem(0)->setSelected(true);
        QMenu* menu = form->OutgoingCalls()->BuildPlacedCallMenu();
        QAction* call = menu->findChild<QAction*>("OCHCallMenu");
        QCOMPARE(call->text(), QString("Call \"Dr. Patel\""));
        call->trigger();
        delete menu;
        QCOMPARE(ControlOf<QTreeWidget>(ui, "ToCallListView")->topLevelItemCount(), 1);
        const TOCALL& queued = *form->Session().Outgoing().Rows().front()->Call;
        QCOMPARE(queued.NumberToDial, QString("770-555-0143"));
        QCOMPARE(queued.When, TClock::NowDays());
        QCOMPARE(queued.StartTime, 0.0);

        // The Delete key removes the chosen node from the tree and the file.
        ControlOf<QTreeWidget>(ui, "placedCallTree")->setCurrentItem(patel);
        QTest::keyClick(ControlOf<QTreeWidget>(ui, "placedCallTree"), Qt::Key_Delete);
        QCOMPARE(ControlOf<QTreeWidget>(ui, "placedCallTree")->topLevelItem(0)->childCount(), 1);
        TOutgoingHistory reread;
        QCOMPARE(reread.LoadOutgoingHistory(), 1);
    }

    // Now, later, and a number with nothing to dial.
    void quickDial() {
        TScriptedPrompts prompts;
        auto form = Form();
        TOutgoingTab* tab = form->OutgoingCalls();
        tab->RunQuickDial = [](TGetQuickDialForm& dialog) {
            const QObject& ui = dialog;
            if (!ControlOf<QCheckBox>(ui, "NowButton")->isChecked()) return 0;
            ControlOf<QLineEdit>(ui, "NameEdit")->setText("Pizza");
            ControlOf<QLineEdit>(ui, "NumberEdit")->setText("---");
            dialog.OKButtonClick();  // refused: nothing to dial
            if (dialog.result() == QDialog::Accepted) return 0;
            ControlOf<QLineEdit>(ui, "NumberEdit")->setText("404-555-0111");
            dialog.OKButtonClick();
            return dialog.result();
        };
        tab->OutgoingCallButtonClick();
        QVERIFY(prompts.Texts().last().contains("has nothing a telephone can dial"));
        QCOMPARE(form->Session().Outgoing().Rows().size(), size_t(1));
        QVERIFY(qAbs(form->Session().Outgoing().Rows().front()->Call->When - TClock::NowDays()) <
                2 * kSecond);

        const QDate tomorrow = QDateTime::fromSecsSinceEpoch(kNow).date().addDays(1);
        tab->RunQuickDial = [&](TGetQuickDialForm& dialog) {
            const QObject& ui = dialog;
            ControlOf<QLineEdit>(ui, "NumberEdit")->setText("770-555-0143");
            ControlOf<QDateEdit>(ui, "DatePicker")->setDate(tomorrow);
            if (ControlOf<QCheckBox>(ui, "NowButton")->isChecked())
                return 0;  // choosing a date unticks Now
            ControlOf<QTimeEdit>(ui, "TimePicker")->setTime(QTime(9, 30));
            dialog.OKButtonClick();
            return dialog.result();
        };
        tab->OutgoingCallButtonClick();
        QCOMPARE(form->Session().Outgoing().Rows().size(), size_t(2));
        const TOCALL& later = *form->Session().Outgoing().Rows().back()->Call;
        QCOMPARE(QDateTime::fromSecsSinceEpoch(TClock::TimeFromDays(later.When)),
                 QDateTime(tomorrow, QTime(9, 30)));
        tab->RunQuickDial = [](TGetQuickDialForm& dialog) { return dialog.result(); };
        tab->OutgoingCallButtonClick();  // cancelled: nothing queued
        QCOMPARE(form->Session().Outgoing().Rows().size(), size_t(2));
        Q_UNUSED(kDay);
    }

    // The history's and the phone book's Call commands queue what their rows show, after the
    // password that guards dialling; so do every command of this tab that dials.
    void callCommandsQueue() {
        {
            TOutgoingHistory placed;
            TOCALL patel = Call("Dr. Patel", "770-555-0143", 46001.25);
            patel.StartTime = 46001.25;
            patel.EndTime = 46001.25 + 120 * kSecond;
            placed.AddPlacedCall(patel);
            TCallLog log;
            CallLogRecord call;
            call.Name = "GARCIA MARIA";
            call.Number = "4045551212";
            call.When = "Tue Dec 08 09:21 AM";
            call.Time = kNow - 100;
            QVERIFY(log.AppendCallLog(call));
            TPhoneBook book;
            PhoneBookEntry mom;
            mom.DisplayName = "Mom";
            mom.Number = "404-555-1212";
            book.Add(mom);
            QVERIFY(book.SavePhoneBook());
        }
        TScriptedPrompts prompts;
        auto form = Form([](TConfig& c) { c.Password1 = "Secret"; });
        const QObject& ui = *form;
        QCOMPARE(ControlOf<QTreeWidget>(ui, "PlaceCallHistoryList")->topLevelItemCount(), 1);
        form->History()->SelectOnly(ControlOf<QTreeWidget>(ui, "historyList")->topLevelItem(0));
        prompts.PasswordAnswers << "wrong"
                                << "secret";
        form->History()->CallSelected();
        QVERIFY(form->Session().Outgoing().Rows().empty());  // refused
        form->History()->CallSelected();
        QCOMPARE(form->Session().Outgoing().Rows().size(), size_t(1));
        QCOMPARE(RowTexts(ControlOf<QTreeWidget>(ui, "ToCallListView"), 0).mid(0, 2),
                 QStringList(
                     {"Mom", ControlOf<QTreeWidget>(ui, "historyList")->topLevelItem(0)->text(1)}));

        form->Session().Config().Password1.clear();
        ControlOf<QTreeWidget>(ui, "PhoneBookList")->topLevelItem(0)->setSelected(true);
        form->PhoneBook()->CallSelected();
        QCOMPARE(form->Session().Outgoing().Rows().size(), size_t(2));
        QCOMPARE(form->Session().Outgoing().Rows().back()->Call->NumberToDial,
                 QString("404-555-1212"));
        QCOMPARE(ControlOf<QTreeWidget>(ui, "ToCallListView")->topLevelItemCount(), 2);
        QVERIFY(
            !ControlOf<QToolButton>(ui, "CallPhoneBookEntryButton")->isEnabled());  // no line open
        QCOMPARE(ControlOf<QToolButton>(ui, "CallPhoneBookEntryButton")->toolTip(),
                 QString("Can't call because you are not connected to a modem"));

        // This tab's commands: Add to list, the placed-call menu, the Call button on a placed
        // call and on a queued one. A wrong password dials nothing.
        form->Session().Config().Password1 = "Secret";
        TOutgoingTab* tab = form->OutgoingCalls();
        tab->RunQuickDial = [](TGetQuickDialForm& dialog) {
            ControlOf<QLineEdit>(dialog, "NumberEdit")->setText("404-555-0111");
            dialog.OKButtonClick();
            return dialog.result();
        };
        ControlOf<QTreeWidget>(ui, "PlaceCallHistoryList")->topLevelItem(0)->setSelected(true);
        const QList<std::function<void()>> commands = {
            [&] { ControlOf<QToolButton>(ui, "OutgoingCallButton")->click(); },
            [&] {
                std::unique_ptr<QMenu> menu(tab->BuildPlacedCallMenu());
                menu->actions().first()->trigger();
            },
            [&] { ControlOf<QToolButton>(ui, "CallOutgoingButton")->click(); }};
        for (const auto& command : commands) {
            const size_t queued = form->Session().Outgoing().Rows().size();
            const int asked = prompts.Count("password");
            prompts.PasswordAnswers << "wrong";
            command();
            QCOMPARE(prompts.Count("password"), asked + 1);
            QCOMPARE(form->Session().Outgoing().Rows().size(), queued);
            prompts.PasswordAnswers << "secret";
            command();
            QCOMPARE(form->Session().Outgoing().Rows().size(), queued + 1);
        }
        ControlOf<QTreeWidget>(ui, "PlaceCallHistoryList")->clearSelection();
        TOCALL& later = *form->Session().Outgoing().Rows().back()->Call;
        later.When = TClock::NowDays() + kDay;
        tab->RefreshQueue();
        ControlOf<QTreeWidget>(ui, "ToCallListView")
            ->topLevelItem(ControlOf<QTreeWidget>(ui, "ToCallListView")->topLevelItemCount() - 1)
            ->setSelected(true);
        prompts.PasswordAnswers << "wrong";
        ControlOf<QToolButton>(ui, "CallOutgoingButton")->click();
        QCOMPARE(later.When, TClock::NowDays() + kDay);  // not moved to now
        prompts.PasswordAnswers << "secret";
        ControlOf<QToolButton>(ui, "CallOutgoingButton")->click();
        QCOMPARE(later.When, TClock::NowDays());
    }
};

QTEST_MAIN(TestOutgoingTab)
#include "test_outgoingtab.moc"
