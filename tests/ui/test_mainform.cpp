// The main window offscreen over the fake line: captions, hints and states after given events,
// the history list and its commands, the caller ID popup and the port data window.

#include <QCheckBox>
#include <QClipboard>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>
#include <QtTest>

#include "commands.h"
#include "controls.h"
#include "eventloop.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/telephony/fakeline.h"
#include "scriptedprompts.h"
#include "ui/dialogs/debugform.h"
#include "ui/dialogs/getnewname.h"
#include "ui/dialogs/showcalleridform.h"
#include "ui/dialogs/widgetprompts.h"
#include "ui/main/ctrayicon.h"
#include "ui/main/historytab.h"
#include "ui/main/mainform.h"
#include "ui/main/phonebooktab.h"
#include "ui/main/windowplace.h"

class TestMainForm : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TFakeLineProvider> m_provider;
    TFakeLine* m_line = nullptr;

    std::unique_ptr<TMainForm> NewForm(const QString& modem, bool connectAtStart = false) {
        if (!modem.isEmpty()) {
            TConfig config;
            config.SelectPortBox = modem;
            config.SetFlashCaller(false);
            config.SetConnectAtStartupButton(connectAtStart);
            config.SoundToPlayWhenPhoneRings.clear();
            TConfigFile().SaveConfig(config);
        }
        return std::make_unique<TMainForm>();
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        TProfile::SetFolder(m_dir->path());
        m_provider = std::make_unique<TFakeLineProvider>();
        m_line = m_provider->AddLine("Fake");
        m_line->SetId("tapi/phone", 0, STRINGFORMAT_BINARY);
    }
    void cleanup() {
        m_provider.reset();
        TClock::UseSystem();
    }

    void startsDisconnected() {
        auto form = NewForm(QString());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const QObject& ui = *form;
        QCOMPARE(form->windowTitle(), QString("Ringvale"));
        QCOMPARE(ControlOf<QPushButton>(ui, "ConnectButton")->text(), QString("Connect"));
        QVERIFY(!ControlOf<QPushButton>(ui, "ConnectButton")->isEnabled());  // no modem chosen
        QCOMPARE(ControlOf<QLabel>(ui, "StatusLabel")->text(), QString("Not connected"));
        QCOMPARE(ControlOf<QLabel>(ui, "StatusLabel")->toolTip(),
                 QString("Click connect button below to begin waiting for calls"));
        QCOMPARE(ControlOf<QTabWidget>(ui, "pageTabs")->tabText(0), QString("Call History"));
        QVERIFY(!form->ConfigValid);  // first start: the defaults were written
        QVERIFY(QFile::exists(m_dir->filePath("RINGVALE.CNF")));
        for (const char* folder : {"Messages", "Greetings", "Personal Sounds", "System Sounds"})
            QVERIFY(QDir(m_dir->filePath(folder)).exists());
        QVERIFY(!ControlOf<QToolButton>(ui, "NewMessagesButton")->isEnabled());
        QCOMPARE(ControlOf<QToolButton>(ui, "NewMessagesButton")->toolTip(),
                 QString("You don't have any new messages"));
        QCOMPARE(ControlOf<QToolButton>(ui, "SaveWaveButton")->toolTip(),
                 QString("Can't save as a wave file because a caller is not selected"));
    }

    void aCallArrivesAndIsLogged() {
        TScriptedPrompts prompts;
        auto form = NewForm("Fake");
        const QObject& ui = *form;
        QVERIFY(form->ConfigValid);
        form->ConnectButtonClick();
        Pump();
        QCOMPARE(ControlOf<QPushButton>(ui, "ConnectButton")->text(), QString("Disconnect"));
        QCOMPARE(ControlOf<QPushButton>(ui, "ConnectButton")->toolTip(),
                 QString("Click to disconnect"));
        QCOMPARE(ControlOf<QLabel>(ui, "StatusLabel")->text(),
                 QString("Listening for calls on Fake"));
        QVERIFY(ControlOf<QCheckBox>(ui, "UseSpeakerPhoneButton")->isEnabled());
        QCOMPARE(ControlOf<QToolButton>(ui, "CallCallerButton")->toolTip(),
                 QString("Call the selected caller"));

        const HCALL call = m_line->Offer();
        m_line->Ring();
        Pump();
        QCOMPARE(ControlOf<QLabel>(ui, "StatusLabel")->text(), QString("Ringing 1"));
        QVERIFY(ControlOf<QPushButton>(ui, "AnswerHangupButton")->isEnabled());
        QCOMPARE(ControlOf<QPushButton>(ui, "AnswerHangupButton")->toolTip(),
                 QString("Answer this incoming call"));
        const QByteArray name = "SMITH J";
        m_line->CallerId(call, LINECALLPARTYID_NAME | LINECALLPARTYID_ADDRESS, "4045551212", &name);
        Pump();
        QCOMPARE(ControlOf<QTreeWidget>(ui, "historyList")->topLevelItemCount(), 1);
        QTreeWidgetItem* row = ControlOf<QTreeWidget>(ui, "historyList")->topLevelItem(0);
        QCOMPARE(row->text(0), QString("SMITH J"));
        QCOMPARE(row->text(1), QString("404-555-1212"));
        QVERIFY(row->isSelected());
        // One caller not in the phone book: only Add; the menu offers adding and blocking.
        QVERIFY(ControlOf<QToolButton>(ui, "AddToPhoneBookButton")->isEnabled());
        QVERIFY(!ControlOf<QToolButton>(ui, "EditCallerPhoneBookButton")->isEnabled());
        QCOMPARE(ControlOf<QToolButton>(ui, "CallCallerButton")->toolTip(),
                 QString("Call SMITH J"));
        std::unique_ptr<QMenu> menu(form->History()->BuildPopup());
        QCOMPARE(MenuAction(*menu, "EditMenu")->text(),
                 QString("Add \"SMITH J\" To Phone Book..."));
        QVERIFY(MenuAction(*menu, "BlockCaller")->isVisible());
        QCOMPARE(MenuAction(*menu, "ListenToMessageMenu")->text(), QString("Listen..."));
        QCOMPARE(MenuAction(*menu, "CopyToClipboard")->text(), QString("Copy \"SMITH J\""));
        QVERIFY(form->History()->CopyText().startsWith("SMITH J,404-555-1212,"));

        // A phone book entry names the caller from the next refresh on.
        PhoneBookEntry mom;
        mom.DisplayName = "Mom";
        mom.Number = "(404) 555-1212";
        form->Session().PhoneBook().Add(mom);
        form->History()->RefreshHistory();
        QCOMPARE(row->text(0), QString("Mom"));
        QVERIFY(ControlOf<QToolButton>(ui, "EditCallerPhoneBookButton")->isEnabled());

        // Deleting asks first (message 206).
        prompts.BoxAnswers << prompt::IDOK;
        form->History()->DeleteCallerButtonClick();
        QCOMPARE(prompts.Texts("message").last(),
                 QString("Delete the selected callers from the history list?"));
        QCOMPARE(ControlOf<QTreeWidget>(ui, "historyList")->topLevelItemCount(), 0);
        QVERIFY(!form->Session().Calls().CurrentLogRecord());  // the call no longer points at it

        // The line closes under the program: one second later it is disconnected and waits
        // for the modem to come back.
        m_line->SendLineClose();
        Pump();
        form->OnLineClosed();
        QCOMPARE(ControlOf<QLabel>(ui, "StatusLabel")->text(), QString("Waiting for modem"));
        QCOMPARE(ControlOf<QPushButton>(ui, "ConnectButton")->text(), QString("Connect"));
    }

    void messagesOnTheList() {
        auto form = NewForm(QString());
        const QObject& ui = *form;
        CallLogRecord* record = form->Session().CallLog().NewLogRecord();
        TCallLog::FillLogRecord(record, "JONES", "7705550000");
        record->MessageFile = "msg1.wav";
        QFile message(m_dir->filePath("Messages/msg1.wav"));
        QVERIFY(message.open(QIODevice::WriteOnly));
        message.close();
        QTreeWidgetItem* row = form->History()->AddHistoryRow(record);
        form->History()->SelectOnly(row);
        form->History()->RefreshHistory();
        QCOMPARE(ControlOf<QLabel>(ui, "NumMessages")->text(), QString("1"));
        QVERIFY(ControlOf<QToolButton>(ui, "NewMessagesButton")->isEnabled());
        QCOMPARE(ControlOf<QToolButton>(ui, "NewMessagesButton")->toolTip(),
                 QString("Click to listen to your new messages"));
        QCOMPARE(ControlOf<QToolButton>(ui, "SaveWaveButton")->toolTip(),
                 QString("Save \"JONES\" message as a wave file"));
        record->Heard = 1;
        form->History()->RefreshHistory();
        QCOMPARE(ControlOf<QLabel>(ui, "NumMessages")->text(), QString("0"));
        std::unique_ptr<QMenu> menu(form->History()->BuildPopup());
        QCOMPARE(MenuAction(*menu, "RestoreToNew")->text(),
                 QString("Make \"JONES's\" Message \"New\""));
        form->History()->MakeNew();
        QCOMPARE(ControlOf<QLabel>(ui, "NumMessages")->text(), QString("1"));
        // The file deleted behind the program's back: the next refresh clears the message.
        QFile::remove(m_dir->filePath("Messages/msg1.wav"));
        form->History()->RefreshHistory();
        QCOMPARE(ControlOf<QLabel>(ui, "NumMessages")->text(), QString("0"));
        QCOMPARE(
            ControlOf<QToolButton>(ui, "SaveWaveButton")->toolTip(),
            QString(
                "Can't save as a wave file because the selected caller does not have a message"));
    }

    void sortingAndTheDeleteKey() {
        TScriptedPrompts prompts;
        auto form = NewForm(QString());
        for (const char* name : {"BRAVO", "ALPHA", "CHARLIE"}) {
            CallLogRecord* record = form->Session().CallLog().NewLogRecord();
            TCallLog::FillLogRecord(record, name, "5551212");
            record->Time = 1765000000 + int(form->Session().CallLog().Records.size());
            form->History()->AddHistoryRow(record);
        }
        auto order = [&form] {
            const QObject& ui = *form;
            QStringList names;
            for (int i = 0; i < ControlOf<QTreeWidget>(ui, "historyList")->topLevelItemCount(); ++i)
                names << ControlOf<QTreeWidget>(ui, "historyList")->topLevelItem(i)->text(0);
            return names;
        };
        QCOMPARE(order(), (QStringList{"CHARLIE", "ALPHA", "BRAVO"}));  // newest first
        form->History()->SortBy(0);
        QCOMPARE(form->Session().Config().HistorySortColumn, 0);
        QCOMPARE(form->Session().Config().HistorySortDirections[0], quint8(1));
        QCOMPARE(order(), (QStringList{"ALPHA", "BRAVO", "CHARLIE"}));
        form->History()->SortBy(0);
        QCOMPARE(order(), (QStringList{"CHARLIE", "BRAVO", "ALPHA"}));
        form->History()->SortBy(2);  // "When" by the call's time
        QCOMPARE(order(), (QStringList{"CHARLIE", "ALPHA", "BRAVO"}));
        form->History()->SortBy(2);
        QCOMPARE(order(), (QStringList{"BRAVO", "ALPHA", "CHARLIE"}));  // oldest first

        // The next start shows the list in the order the user chose.
        form->SaveAll();
        form.reset();
        form = NewForm(QString());
        const QObject& ui = *form;
        QCOMPARE(order(), (QStringList{"BRAVO", "ALPHA", "CHARLIE"}));
        form->History()->SortBy(2);
        QCOMPARE(order(), (QStringList{"CHARLIE", "ALPHA", "BRAVO"}));

        // The Delete key asks as the Delete button does.
        form->History()->SelectOnly(ControlOf<QTreeWidget>(ui, "historyList")->topLevelItem(0));
        prompts.BoxAnswers << prompt::IDOK;
        PressKey(ControlOf<QTreeWidget>(ui, "historyList"), Qt::Key_Delete);
        QCOMPARE(prompts.Count("message"), 1);
        QCOMPARE(order(), (QStringList{"ALPHA", "BRAVO"}));
        QCOMPARE(form->Session().CallLog().Records.size(), size_t(2));
    }

    // The lists' shortcuts work without their menus; the menus offer what the user needs;
    // the Call buttons follow the line as it opens by itself and closes; a phone book change
    // re-sorts the history, and the phone book is sorted again when its tab shows.
    void commandsOfTheLists() {
        {
            TCallLog log;
            for (const char* name : {"BRAVO", "ALPHA"}) {
                CallLogRecord call;
                TCallLog::FillLogRecord(&call, name, name[0] == 'A' ? "4045550001" : "4045550002");
                call.Time = 1796000000 + name[0];
                QVERIFY(log.AppendCallLog(call));
            }
        }
        TScriptedPrompts prompts;
        auto form = NewForm("Fake", true);
        const QObject& ui = *form;
        Pump();
        QVERIFY(form->Session().Line());
        QVERIFY(ControlOf<QToolButton>(ui, "CallCallerButton")
                    ->isEnabled());  // the newest caller is selected
        QCOMPARE(ControlOf<QToolButton>(ui, "CallCallerButton")->toolTip(), QString("Call ALPHA"));

        // Ctrl+C copies the selected rows, Ctrl+D calls them, with no menu ever opened.
        ControlOf<QTreeWidget>(ui, "historyList")->selectAll();
        PressKey(ControlOf<QTreeWidget>(ui, "historyList"), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text().split("\r\n").size(), 2);
        PressKey(ControlOf<QTreeWidget>(ui, "historyList"), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(form->Session().Outgoing().Rows().size(), size_t(2));
        // Ctrl+E adds the focused caller to the phone book, named ZULU: the history, sorted
        // by name, takes the new name's place at once.
        form->History()->SortBy(0);
        form->History()->SelectOnly(ControlOf<QTreeWidget>(ui, "historyList")->topLevelItem(0));
        QCOMPARE(ControlOf<QTreeWidget>(ui, "historyList")->topLevelItem(0)->text(0),
                 QString("ALPHA"));
        form->PhoneBook()->RunEntryDialog = [](TGetNewName& dialog) {
            ControlOf<QLineEdit>(dialog, "Name")->setText("ZULU");
            dialog.OKButtonClick();
            return dialog.result();
        };
        PressKey(ControlOf<QTreeWidget>(ui, "historyList"), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(form->Session().PhoneBook().Entries.size(), size_t(1));
        QCOMPARE(ControlOf<QTreeWidget>(ui, "historyList")->topLevelItem(0)->text(0),
                 QString("BRAVO"));
        QCOMPARE(ControlOf<QTreeWidget>(ui, "historyList")->topLevelItem(1)->text(0),
                 QString("ZULU"));

        // With no row focused the history menu still exports; Call waits for no line.
        ControlOf<QTreeWidget>(ui, "historyList")->setCurrentItem(nullptr);
        std::unique_ptr<QMenu> menu(form->History()->BuildPopup());
        QVERIFY(MenuAction(*menu, "ExportToText")->isEnabled());
        QVERIFY(!MenuAction(*menu, "CallMenu")->isEnabled());

        // The phone book: its menu calls, Ctrl+D too; sorted by display name, it is sorted
        // again when its tab shows after an entry was added at the end.
        form->PhoneBook()->SortBy(1);
        PhoneBookEntry able;
        able.DisplayName = "ABLE";
        able.Number = "404-555-0003";
        form->Session().PhoneBook().Add(able);
        form->PhoneBook()->LoadRows();  // the new entry's row at the end
        QCOMPARE(ControlOf<QTreeWidget>(ui, "PhoneBookList")->topLevelItem(1)->text(1),
                 QString("ABLE"));
        ControlOf<QTabWidget>(ui, "pageTabs")
            ->setCurrentWidget(ControlOf<QWidget>(ui, "PhoneBookTab"));
        QCOMPARE(ControlOf<QTreeWidget>(ui, "PhoneBookList")->topLevelItem(0)->text(1),
                 QString("ABLE"));
        ControlOf<QTreeWidget>(ui, "PhoneBookList")
            ->setCurrentItem(ControlOf<QTreeWidget>(ui, "PhoneBookList")->topLevelItem(1));
        menu.reset(form->PhoneBook()->BuildPopup());
        QCOMPARE(MenuAction(*menu, "PhoneBookMenuCall")->text(), QString("Call \"ZULU\"..."));
        QVERIFY(ControlOf<QToolButton>(ui, "CallPhoneBookEntryButton")->isEnabled());
        PressKey(ControlOf<QTreeWidget>(ui, "PhoneBookList"), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(form->Session().Outgoing().Rows().back()->Call->Name, QString("ZULU"));

        // The line closes under the program: both Call buttons say so at once.
        m_line->SendLineClose();
        Pump();
        form->OnLineClosed();
        QVERIFY(!ControlOf<QToolButton>(ui, "CallPhoneBookEntryButton")->isEnabled());
        QVERIFY(!ControlOf<QToolButton>(ui, "CallCallerButton")->isEnabled());
    }

    void savesEverythingOnClose() {
        auto form = NewForm(QString());
        CallLogRecord* record = form->Session().CallLog().NewLogRecord();
        TCallLog::FillLogRecord(record, "JONES", "7705550000");
        form->Session().Config().RingsToAnswer = 7;
        form->close();
        QCOMPARE(QFileInfo(m_dir->filePath("CALL.LOG")).size(), 616);
        TConfig saved;
        QVERIFY(TConfigFile().LoadConfig(saved));
        QCOMPARE(saved.RingsToAnswer, 7);
        QVERIFY(QFile::exists(m_dir->filePath("Ringvale Phonebook.pb12")));
    }

    void minimisingWithoutATray() {
        auto form = NewForm(QString());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->showMinimized();
        Pump();
        QVERIFY(form->isVisible());  // offscreen has no tray: the window stays on the task bar
    }

    // With a tray, minimising hides the window behind a tray icon, and one click on the icon
    // (all many Linux trays send) brings the window back and removes the icon.
    void aClickOnTheTrayIcon() {
        CTrayIcon::AssumeAvailable(true);
        auto form = NewForm(QString());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->showMinimized();
        QVERIFY(QTest::qWaitFor([&] { return form->Tray() != nullptr; }, 2000));
        QVERIFY(!form->isVisible());
        emit form->Tray()->Icon().activated(QSystemTrayIcon::Context);  // the menu, nothing else
        QVERIFY(!form->isVisible());
        emit form->Tray()->Icon().activated(QSystemTrayIcon::Trigger);
        QVERIFY(form->isVisible());
        QVERIFY(!form->isMinimized());
        QVERIFY(!form->Tray());
        CTrayIcon::AssumeAvailable(false);
    }

    // The window opens where it was left when that is still on a screen, else in the middle of
    // the screen; a window never shown keeps no place.
    void windowPlacement() {
        const QRect screen(0, 0, 1920, 1080), size(0, 0, 600, 300);
        const QPoint middle = screen.center() - QPoint(300, 150);
        QCOMPARE(TWindowPlace::Choose({}, size.size(), {screen}, screen), middle);
        QCOMPARE(TWindowPlace::Choose({100, 80, 600, 300}, size.size(), {screen}, screen),
                 QPoint(100, 80));
        // The title bar above the screen, or on a monitor that has gone.
        QCOMPARE(TWindowPlace::Choose({100, -20, 600, 300}, size.size(), {screen}, screen), middle);
        QCOMPARE(TWindowPlace::Choose({2500, 80, 600, 300}, size.size(), {screen}, screen), middle);
        QCOMPARE(TWindowPlace::Choose({2500, 80, 600, 300}, size.size(),
                                      {screen, QRect(1920, 0, 1280, 1024)}, screen),
                 QPoint(2500, 80));

        auto form = NewForm(QString());
        form->SaveAll();  // never shown: no place of (0,0) is kept
        QCOMPARE(form->Session().Config().MainWindowBounds[0], 0);
        QCOMPARE(form->Session().Config().MainWindowBounds[2], 0);
        form.reset();
        form = NewForm(QString());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(form->pos().x() + form->width() / 2 - available.center().x()) < 5);
        form->move(120, 90);
        form->SaveAll();
        form.reset();
        form = NewForm(QString());
        QCOMPARE(form->pos(), QPoint(120, 90));
    }

    // "Exit" with the window in the tray (hidden): the program ends, having saved once.
    void exitWhileInTheTray() {
        auto form = NewForm(QString());
        CallLogRecord* record = form->Session().CallLog().NewLogRecord();
        TCallLog::FillLogRecord(record, "JONES", "7705550000");
        form->hide();
        QEventLoop loop;
        bool ended = true;
        QTimer::singleShot(0, form.get(), [&] { form->ExitProgram(); });
        QTimer::singleShot(3000, &loop, [&] {
            ended = false;
            loop.quit();
        });
        loop.exec();
        QVERIFY(ended);
        QCOMPARE(QFileInfo(m_dir->filePath("CALL.LOG")).size(), 616);
    }

    void callerPopup() {
        TShowCallerIDForm popup;
        TClock::Set(1765000000);
        popup.SetText("Test Caller\r555-0100");
        popup.CloseTime = TClock::Now() + 15;
        popup.ShowCaller();
        QCOMPARE(popup.NameText(), QString("Test Caller"));
        QCOMPARE(popup.NumberText(), QString("555-0100"));
        QCOMPARE(popup.CloseCaption(), QString("Close 15"));
        TClock::Advance(14);
        popup.OnTick();
        QCOMPARE(popup.CloseCaption(), QString("Close 1"));
        TClock::Advance(1);
        popup.OnTick();
        QVERIFY(!popup.isVisible());
        popup.SetText("Name\r\r  555");
        popup.ShowCaller();
        QCOMPARE(popup.NumberText(), QString("555"));
        popup.SetText("no break");
        popup.ShowCaller();
        QCOMPARE(popup.NameText(), QString("Name"));
        QCOMPARE(popup.NumberText(), QString());
    }

    void portDataWindowSaves() {
        TScriptedPrompts prompts;
        TDebugForm debug;
        const QString file = m_dir->filePath("port.txt");
        prompts.FileAnswers << file;
        debug.SaveButtonClick();
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("\r\n \r\n"));
        QCOMPARE(prompts.Texts().last(), file + "\rhas been saved");
        prompts.FileAnswers << m_dir->filePath("no/such/port.txt");
        debug.SaveButtonClick();
        QCOMPARE(prompts.Texts().last(),
                 "Can't open \"" + m_dir->filePath("no/such/port.txt") + "\"\rfor writing");

        // The lines it gets while hidden, call after call, stop at the newest few thousand.
        for (int call = 0; call < TDebugForm::kKeptLines; ++call)
            for (const char* line : {"Ringing 1", "Answered"})
                debug.AddLine(QString("%1 %2").arg(line).arg(call));
        const QStringList kept = debug.Lines();
        QCOMPARE(kept.size(), TDebugForm::kKeptLines);
        QCOMPARE(kept.last(), QString("Answered %1").arg(TDebugForm::kKeptLines - 1));
        // Shown, it holds the same lines, and goes on from them.
        debug.show();
        QCOMPARE(debug.Lines(), kept);
        debug.AddLine("Ringing\r2");
        QCOMPARE(debug.Lines().size(), TDebugForm::kKeptLines);
        QCOMPARE(debug.Lines().last(), QString("Ringing 2"));
    }

    void fileFiltersBecomeQtFilters() {
        QCOMPARE(TWidgetPrompts::QtFilter("Sound Files (*.wav)|*.wav"),
                 QString("Sound Files (*.wav)"));
        QCOMPARE(TWidgetPrompts::QtFilter("Links (*.lnk)|*.lnk|Programs (*.exe)|*.exe"),
                 QString("Links (*.lnk);;Programs (*.exe)"));
        QCOMPARE(TWidgetPrompts::QtFilter("Text|*.txt;*.csv"), QString("Text (*.txt *.csv)"));
        QCOMPARE(DisplayText("one\rtwo\r\nthree"), QString("one\ntwo\nthree"));
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
