// The main window offscreen over the fake line: captions, hints and states after given events,
// the history list and its commands, the caller ID popup and the port data window.

#include <QClipboard>
#include <QEventLoop>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "commands.h"
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
#include "ui_getnewname.h"
#include "ui_mainform.h"

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
        Ui::TMainForm* ui = form->Form();
        QCOMPARE(form->windowTitle(), QString("Ringvale"));
        QCOMPARE(ui->ConnectButton->text(), QString("Connect"));
        QVERIFY(!ui->ConnectButton->isEnabled());  // no modem chosen
        QCOMPARE(ui->StatusLabel->text(), QString("Not connected"));
        QCOMPARE(ui->StatusLabel->toolTip(),
                 QString("Click connect button below to begin waiting for calls"));
        QCOMPARE(ui->pageTabs->tabText(0), QString("Call History"));
        QVERIFY(!form->ConfigValid);  // first start: the defaults were written
        QVERIFY(QFile::exists(m_dir->filePath("RINGVALE.CNF")));
        for (const char* folder : {"Messages", "Greetings", "Personal Sounds", "System Sounds"})
            QVERIFY(QDir(m_dir->filePath(folder)).exists());
        QVERIFY(!ui->NewMessagesButton->isEnabled());
        QCOMPARE(ui->NewMessagesButton->toolTip(), QString("You don't have any new messages"));
        QCOMPARE(ui->SaveWaveButton->toolTip(),
                 QString("Can't save as a wave file because a caller is not selected"));
    }

    void aCallArrivesAndIsLogged() {
        TScriptedPrompts prompts;
        auto form = NewForm("Fake");
        Ui::TMainForm* ui = form->Form();
        QVERIFY(form->ConfigValid);
        form->ConnectButtonClick();
        Pump();
        QCOMPARE(ui->ConnectButton->text(), QString("Disconnect"));
        QCOMPARE(ui->ConnectButton->toolTip(), QString("Click to disconnect"));
        QCOMPARE(ui->StatusLabel->text(), QString("Listening for calls on Fake"));
        QVERIFY(ui->UseSpeakerPhoneButton->isEnabled());
        QCOMPARE(ui->CallCallerButton->toolTip(), QString("Call the selected caller"));

        const HCALL call = m_line->Offer();
        m_line->Ring();
        Pump();
        QCOMPARE(ui->StatusLabel->text(), QString("Ringing 1"));
        QVERIFY(ui->AnswerHangupButton->isEnabled());
        QCOMPARE(ui->AnswerHangupButton->toolTip(), QString("Answer this incoming call"));
        const QByteArray name = "SMITH J";
        m_line->CallerId(call, LINECALLPARTYID_NAME | LINECALLPARTYID_ADDRESS, "4045551212", &name);
        Pump();
        QCOMPARE(ui->historyList->topLevelItemCount(), 1);
        QTreeWidgetItem* row = ui->historyList->topLevelItem(0);
        QCOMPARE(row->text(0), QString("SMITH J"));
        QCOMPARE(row->text(1), QString("404-555-1212"));
        QVERIFY(row->isSelected());
        // One caller not in the phone book: only Add; the menu offers adding and blocking.
        QVERIFY(ui->AddToPhoneBookButton->isEnabled());
        QVERIFY(!ui->EditCallerPhoneBookButton->isEnabled());
        QCOMPARE(ui->CallCallerButton->toolTip(), QString("Call SMITH J"));
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
        QVERIFY(ui->EditCallerPhoneBookButton->isEnabled());

        // Deleting asks first (message 206).
        prompts.BoxAnswers << prompt::IDOK;
        form->History()->DeleteCallerButtonClick();
        QCOMPARE(prompts.Texts("message").last(),
                 QString("Delete the selected callers from the history list?"));
        QCOMPARE(ui->historyList->topLevelItemCount(), 0);
        QVERIFY(!form->Session().Calls().CurrentLogRecord());  // the call no longer points at it

        // The line closes under the program: one second later it is disconnected and waits
        // for the modem to come back.
        m_line->SendLineClose();
        Pump();
        form->OnLineClosed();
        QCOMPARE(ui->StatusLabel->text(), QString("Waiting for modem"));
        QCOMPARE(ui->ConnectButton->text(), QString("Connect"));
    }

    void messagesOnTheList() {
        auto form = NewForm(QString());
        Ui::TMainForm* ui = form->Form();
        CallLogRecord* record = form->Session().CallLog().NewLogRecord();
        TCallLog::FillLogRecord(record, "JONES", "7705550000");
        record->MessageFile = "msg1.wav";
        QFile message(m_dir->filePath("Messages/msg1.wav"));
        QVERIFY(message.open(QIODevice::WriteOnly));
        message.close();
        QTreeWidgetItem* row = form->History()->AddHistoryRow(record);
        form->History()->SelectOnly(row);
        form->History()->RefreshHistory();
        QCOMPARE(ui->NumMessages->text(), QString("1"));
        QVERIFY(ui->NewMessagesButton->isEnabled());
        QCOMPARE(ui->NewMessagesButton->toolTip(), QString("Click to listen to your new messages"));
        QCOMPARE(ui->SaveWaveButton->toolTip(), QString("Save \"JONES\" message as a wave file"));
        record->Heard = 1;
        form->History()->RefreshHistory();
        QCOMPARE(ui->NumMessages->text(), QString("0"));
        std::unique_ptr<QMenu> menu(form->History()->BuildPopup());
        QCOMPARE(MenuAction(*menu, "RestoreToNew")->text(),
                 QString("Make \"JONES's\" Message \"New\""));
        form->History()->MakeNew();
        QCOMPARE(ui->NumMessages->text(), QString("1"));
        // The file deleted behind the program's back: the next refresh clears the message.
        QFile::remove(m_dir->filePath("Messages/msg1.wav"));
        form->History()->RefreshHistory();
        QCOMPARE(ui->NumMessages->text(), QString("0"));
        QCOMPARE(
            ui->SaveWaveButton->toolTip(),
            QString(
                "Can't save as a wave file because the selected caller does not have a message"));
    }

    void sortingAndTheDeleteKey() {
        TScriptedPrompts prompts;
        auto form = NewForm(QString());
        Ui::TMainForm* ui = form->Form();
        for (const char* name : {"BRAVO", "ALPHA", "CHARLIE"}) {
            CallLogRecord* record = form->Session().CallLog().NewLogRecord();
            TCallLog::FillLogRecord(record, name, "5551212");
            record->Time = 1765000000 + int(form->Session().CallLog().Records.size());
            form->History()->AddHistoryRow(record);
        }
        auto order = [&ui] {
            QStringList names;
            for (int i = 0; i < ui->historyList->topLevelItemCount(); ++i)
                names << ui->historyList->topLevelItem(i)->text(0);
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
        ui = form->Form();
        QCOMPARE(order(), (QStringList{"BRAVO", "ALPHA", "CHARLIE"}));
        form->History()->SortBy(2);
        QCOMPARE(order(), (QStringList{"CHARLIE", "ALPHA", "BRAVO"}));

        // The Delete key asks as the Delete button does.
        form->History()->SelectOnly(ui->historyList->topLevelItem(0));
        prompts.BoxAnswers << prompt::IDOK;
        PressKey(ui->historyList, Qt::Key_Delete);
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
        Ui::TMainForm* ui = form->Form();
        Pump();
        QVERIFY(form->Session().Line());
        QVERIFY(ui->CallCallerButton->isEnabled());  // the newest caller is selected
        QCOMPARE(ui->CallCallerButton->toolTip(), QString("Call ALPHA"));

        // Ctrl+C copies the selected rows, Ctrl+D calls them, with no menu ever opened.
        ui->historyList->selectAll();
        PressKey(ui->historyList, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text().split("\r\n").size(), 2);
        PressKey(ui->historyList, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(form->Session().Outgoing().Rows.size(), size_t(2));
        // Ctrl+E adds the focused caller to the phone book, named ZULU: the history, sorted
        // by name, takes the new name's place at once.
        form->History()->SortBy(0);
        form->History()->SelectOnly(ui->historyList->topLevelItem(0));
        QCOMPARE(ui->historyList->topLevelItem(0)->text(0), QString("ALPHA"));
        form->PhoneBook()->RunEntryDialog = [](TGetNewName& dialog) {
            dialog.Form()->Name->setText("ZULU");
            dialog.OKButtonClick();
            return dialog.result();
        };
        PressKey(ui->historyList, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(form->Session().PhoneBook().Entries.size(), size_t(1));
        QCOMPARE(ui->historyList->topLevelItem(0)->text(0), QString("BRAVO"));
        QCOMPARE(ui->historyList->topLevelItem(1)->text(0), QString("ZULU"));

        // With no row focused the history menu still exports; Call waits for no line.
        ui->historyList->setCurrentItem(nullptr);
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
        QCOMPARE(ui->PhoneBookList->topLevelItem(1)->text(1), QString("ABLE"));
        ui->pageTabs->setCurrentWidget(ui->PhoneBookTab);
        QCOMPARE(ui->PhoneBookList->topLevelItem(0)->text(1), QString("ABLE"));
        ui->PhoneBookList->setCurrentItem(ui->PhoneBookList->topLevelItem(1));
        menu.reset(form->PhoneBook()->BuildPopup());
        QCOMPARE(MenuAction(*menu, "PhoneBookMenuCall")->text(), QString("Call \"ZULU\"..."));
        QVERIFY(ui->CallPhoneBookEntryButton->isEnabled());
        PressKey(ui->PhoneBookList, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(form->Session().Outgoing().Rows.back()->Call->Name, QString("ZULU"));

        // The line closes under the program: both Call buttons say so at once.
        m_line->SendLineClose();
        Pump();
        form->OnLineClosed();
        QVERIFY(!ui->CallPhoneBookEntryButton->isEnabled());
        QVERIFY(!ui->CallCallerButton->isEnabled());
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
