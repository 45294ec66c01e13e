// The phone book tab offscreen over a hand-made phone book file: rows and texts, sorting and
// dragging change the look-up order in the file, the keys that jump to a row, delete, backup
// and restore; the entry dialog field by field; adding, editing and blocking callers from the
// history.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>
#include <QtTest>

#include "commands.h"
#include "controls.h"
#include "eventloop.h"
#include "files.h"
#include "platform/profile.h"
#include "scriptedprompts.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/phonebook.h"
#include "ui/dialogs/getnewname.h"
#include "ui/dialogs/recordwaveform.h"
#include "ui/main/historytab.h"
#include "ui/main/mainform.h"
#include "ui/main/phonebooktab.h"
#include "wavefile.h"

namespace {
PhoneBookEntry Entry(const QString& display, const QString& number, int called = 0) {
    PhoneBookEntry entry;
    entry.DisplayName = display;
    entry.Number = number;
    entry.TimesCalled = called;
    return entry;
}

// The display names in the phone book file, in its order.
QStringList FileOrder(const QString& folder) {
    QFile file(folder + "/Ringvale Phonebook.pb12");
    QStringList names;
    if (!file.open(QIODevice::ReadOnly)) return names;
    const QByteArray bytes = file.readAll();
    for (qsizetype at = 0; at + 668 <= bytes.size(); at += 668)
        names << PhoneBookEntry::FromBytes(bytes.mid(at, 668)).DisplayName;
    return names;
}
}  // namespace

class TestPhoneBookTab : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;

    void WriteBook(const QList<PhoneBookEntry>& entries) {
        TPhoneBook book;
        for (const PhoneBookEntry& entry : entries)
            book.Add(entry);
        QVERIFY(book.SavePhoneBook());
    }
    std::unique_ptr<TMainForm> Form() {
        TConfig config;
        config.SetFlashCaller(false);
        TConfigFile().SaveConfig(config);
        return std::make_unique<TMainForm>();
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        TProfile::SetFolder(m_dir->path());
    }

    // Rows show the file; sorting by a column and dragging a row both become the file's order.
    void rowsSortAndDrag() {
        PhoneBookEntry water = Entry("Water Co", "", 1234);
        water.KeyType = KeyName;
        water.RealName = "WATER CPNY";
        water.ActionFlags = ActionHangUp | ActionPageMe;
        water.PersonalGreeting = "go away.wav";
        WriteBook({Entry("Mom", "404-555-1212", 7), water, Entry("Bob", "770-555-0100", 250)});
        TScriptedPrompts prompts;
        auto form = Form();
        QTreeWidget* list = ControlOf<QTreeWidget>(*form, "PhoneBookList");
        QCOMPARE(list->topLevelItemCount(), 3);
        QTreeWidgetItem* row = list->topLevelItem(1);
        const QStringList texts = {
            "WATER CPNY", "Water Co", "", "go away.wav", "play greeting & hang up & page me ",
            "1,234",      ""};
        for (int column = 0; column < 7; ++column)
            QCOMPARE(row->text(column), texts[column]);

        TPhoneBookTab* tab = form->PhoneBook();
        tab->SortBy(5);  // "Called" ascending by value, not by text
        QCOMPARE(FileOrder(m_dir->path()), QStringList({"Mom", "Bob", "Water Co"}));
        tab->SortBy(5);
        QCOMPARE(FileOrder(m_dir->path()), QStringList({"Water Co", "Bob", "Mom"}));
        QCOMPARE(form->Session().Config().PhoneBookSortColumn, 5);

        // A drop moves the row; the order is taken once the move is complete.
        QTreeWidgetItem* mom = list->takeTopLevelItem(2);
        list->insertTopLevelItem(0, mom);
        Pump();
        QCOMPARE(FileOrder(m_dir->path()), QStringList({"Mom", "Water Co", "Bob"}));
        QCOMPARE(form->Session().PhoneBook().Entries.front()->DisplayName, QString("Mom"));
    }

    // Letters search the display names and digits the numbers, after the focused row, wrapping.
    void keysJumpToRows() {
        WriteBook({Entry("Smith", "404"), Entry("adams", "770"), Entry("Stone", "912")});
        auto form = Form();
        TPhoneBookTab* tab = form->PhoneBook();
        QTreeWidget* list = ControlOf<QTreeWidget>(*form, "PhoneBookList");
        QTest::keyClick(list, Qt::Key_S);
        QCOMPARE(list->currentItem()->text(1), QString("Smith"));
        QTest::keyClick(list, Qt::Key_S);
        QCOMPARE(list->currentItem()->text(1), QString("Stone"));
        tab->SearchKey('S');
        QCOMPARE(list->currentItem()->text(1), QString("Smith"));
        QVERIFY(tab->SearchKey('A'));  // "adams" starts with a small letter: not found
        QVERIFY(list->selectedItems().isEmpty());
        tab->SearchKey('7');
        QCOMPARE(list->currentItem()->text(1), QString("adams"));
        QCOMPARE(ControlOf<QToolButton>(*form, "EditPhoneBookItem")->toolTip(),
                 QString("Edit \"adams\""));
    }

    // Delete asks (304) and saves; backup and restore round trip; a file that is no phone
    // book is refused and the phone book stays; an empty phone book hides the backup label.
    void deleteBackupRestore() {
        WriteBook({Entry("Mom", "404-555-1212"), Entry("Bob", "770-555-0100")});
        TScriptedPrompts prompts;
        auto form = Form();
        const QObject& ui = *form;
        TPhoneBookTab* tab = form->PhoneBook();
        QCOMPARE(ControlOf<QLabel>(ui, "LastBackupLabel")->text(),
                 QString("You have not backed up your database"));
        const QString backup = m_dir->filePath("book.pbb");
        prompts.FileAnswers.enqueue(backup);
        tab->BackupPhoneBookButtonClick();
        QVERIFY(ControlOf<QLabel>(ui, "LastBackupLabel")->text().startsWith("Last backup: "));

        ControlOf<QTreeWidget>(ui, "PhoneBookList")
            ->setCurrentItem(ControlOf<QTreeWidget>(ui, "PhoneBookList")->topLevelItem(0));
        prompts.BoxAnswers.enqueue(prompt::IDOK);
        QMenu* menu = tab->BuildPopup();
        QCOMPARE(MenuAction(*menu, "PhoneBookMenuDelete")->text(), QString("Delete \"Mom\""));
        menu->deleteLater();
        PressKey(ControlOf<QTreeWidget>(ui, "PhoneBookList"), Qt::Key_Delete);
        QCOMPARE(prompts.Messages.last().Text, QString("Delete \"Mom\" from the phone book"));
        QCOMPARE(FileOrder(m_dir->path()), QStringList{"Bob"});

        QFile garbage(m_dir->filePath("notes.pbb"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(668, 'x'));
        garbage.close();
        prompts.FileAnswers.enqueue(garbage.fileName());
        tab->RestorePhoneBookButtonClick();
        QVERIFY(prompts.Texts().last().contains("is not a phone book"));
        QCOMPARE(FileOrder(m_dir->path()), QStringList{"Bob"});
        QCOMPARE(ControlOf<QTreeWidget>(ui, "PhoneBookList")->topLevelItemCount(), 1);

        prompts.FileAnswers.enqueue(backup);
        tab->RestorePhoneBookButtonClick();
        QCOMPARE(prompts.Texts().last(), QString("The backup database has been restored"));
        QCOMPARE(ControlOf<QTreeWidget>(ui, "PhoneBookList")->topLevelItemCount(), 2);
        QCOMPARE(FileOrder(m_dir->path()), QStringList({"Mom", "Bob"}));

        ControlOf<QTreeWidget>(ui, "PhoneBookList")->selectAll();
        prompts.BoxAnswers.enqueue(prompt::IDOK);
        tab->DeleteSelected();
        QCOMPARE(prompts.Messages.last().Text, QString("Delete all selected phone book entries?"));
        QVERIFY(!ControlOf<QLabel>(ui, "LastBackupLabel")
                     ->isVisibleTo(ControlOf<QWidget>(ui, "PhoneBookTab")));
        QVERIFY(!ControlOf<QToolButton>(ui, "BackupPhoneBookButton")->isEnabled());
    }

    // Import: a large list is added, saved and shown at once with a count; the entry dialog
    // says what a pattern matches.
    void importAListAndTypeAPattern() {
        WriteBook({Entry("Mom", "404-555-1212")});
        TScriptedPrompts prompts;
        auto form = Form();
        const QObject& ui = *form;
        QByteArray list = "404-555-1212\n";
        for (int i = 0; i < 20000; ++i)
            list += QByteArray::number(8005000000LL + i) + "\n";
        QVERIFY(WriteAll(m_dir->filePath("Robocallers.txt"), list));
        prompts.FileAnswers.enqueue(m_dir->filePath("Robocallers.txt"));
        ControlOf<QToolButton>(ui, "ImportButton")->click();
        QCOMPARE(prompts.Texts().last(),
                 QString("20000 number(s) were added to the phone book as callers to hang up on.\r"
                         "1 were skipped: already in the phone book, listed twice, or beyond the "
                         "phone book's 100,000 entries."));
        QCOMPARE(ControlOf<QTreeWidget>(ui, "PhoneBookList")->topLevelItemCount(), 20001);
        QCOMPARE(FileOrder(m_dir->path()).size(), 20001);
        QCOMPARE(FileOrder(m_dir->path()).last(), QString("Robocallers"));

        TGetNewName dialog;
        dialog.SetEntry(Entry("Telemarketers", "800*"), false);
        QCOMPARE(ControlOf<QLabel>(dialog, "numberMeaning")->text(),
                 QString("Every number that begins with 800."));
        QLineEdit* number = ControlOf<QLineEdit>(dialog, "Number");
        number->clear();
        QTest::keyClicks(number, "Private");  // a kind of caller may be typed, letters and all
        QCOMPARE(number->text(), QString("Private"));
        QCOMPARE(ControlOf<QLabel>(dialog, "numberMeaning")->text(),
                 QString("Callers who withhold their number."));
        number->clear();
        QTest::keyClicks(number, "555x");  // anything else is cut off
        QCOMPARE(number->text(), QString("555"));
    }

    // New: every field of the dialog reaches its bytes; a second entry with the same number is
    // pointed out (208) with both rows selected; Cancel changes nothing.
    void entryDialogFieldsAndDuplicates() {
        QDir(m_dir->path()).mkdir("Personal Sounds");
        WriteBook({Entry("Mom", "404-555-1212")});
        TScriptedPrompts prompts;
        auto form = Form();
        TPhoneBookTab* tab = form->PhoneBook();
        tab->RunEntryDialog = [](TGetNewName& dialog) {
            const QObject& ui = dialog;
            if (dialog.windowTitle() != "Adding Test Caller to the phonebook") return 0;
            ControlOf<QLineEdit>(ui, "Name")->setText("Mother");
            ControlOf<QLineEdit>(ui, "Number")->clear();
            QTest::keyClicks(ControlOf<QLineEdit>(ui, "Number"), "(404) ");  // the blank is refused
            if (ControlOf<QLineEdit>(ui, "Number")->text() != "(404)") return 0;
            QTest::keyClicks(ControlOf<QLineEdit>(ui, "Number"), "555-1212");
            ControlOf<QRadioButton>(ui, "HangupButton")->setChecked(true);
            ControlOf<QCheckBox>(ui, "PagemeButton")->setChecked(true);
            ControlOf<QLineEdit>(ui, "PersonalGreeting")->setText("hello");
            if (ControlOf<QRadioButton>(ui, "HangupButton")->text() !=
                "Play greeting then hang up.")
                return 0;
            dialog.RunDialog = [](QDialog& recorder) {  // records a sound
                QFile(recorder.findChild<QLabel*>("WaveFile")->text()).open(QIODevice::WriteOnly);
                return int(QDialog::Accepted);
            };
            ControlOf<QPushButton>(ui, "NewButton")
                ->click();  // a notify sound named after the caller
            ControlOf<QLineEdit>(ui, "TimesCalled")->setText("3");
            dialog.OKButtonClick();
            return dialog.result();
        };
        prompts.BoxAnswers.enqueue(prompt::IDOK);
        tab->AddNewPhoneBookButtonClick();
        QCOMPARE(prompts.Count("beep"), 1);
        QFile file(m_dir->filePath("Ringvale Phonebook.pb12"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll().mid(668);
        QCOMPARE(bytes.size(), 668);
        QCOMPARE(QByteArray(bytes.constData()), QByteArray("Mother"));
        QCOMPARE(QByteArray(bytes.constData() + 32), QByteArray("(404)555-1212"));
        QCOMPARE(QByteArray(bytes.constData() + 64), QByteArray("Mother.wav"));
        QCOMPARE(bytes.mid(324, 5), QByteArray("\x06\0\0\0\0", 5));
        QCOMPARE(qFromLittleEndian<qint32>(bytes.constData() + 364), 3);
        QCOMPARE(QByteArray(bytes.constData() + 376), QByteArray("hello"));
        QVERIFY(prompts.Texts().last().startsWith("You have duplicate phone book entries."));
        QCOMPARE(ControlOf<QTreeWidget>(*form, "PhoneBookList")->selectedItems().size(), 2);

        tab->RunEntryDialog = [](TGetNewName& dialog) {
            ControlOf<QLineEdit>(dialog, "Name")->setText("Changed");
            dialog.reject();
            return dialog.result();
        };
        tab->EditSelected();
        QCOMPARE(FileOrder(m_dir->path()), QStringList({"Mom", "Mother"}));
    }

    // Identifying by name needs the name and says why it is rare (209); no number, no entry.
    void entryDialogRefusals() {
        QDir(m_dir->path()).mkdir("Personal Sounds");
        for (const char* name : {"Sound.wav"})
            QFile(m_dir->filePath(QString("Personal Sounds/") + name)).open(QIODevice::WriteOnly);
        TScriptedPrompts prompts;
        TGetNewName dialog;
        dialog.SetEntry(PhoneBookEntry(), false);
        const QObject& ui = dialog;
        dialog.OKButtonClick();
        QCOMPARE(prompts.Texts().last(),
                 QString("You must enter a NUMBER to identify this caller"));
        ControlOf<QRadioButton>(ui, "KeyName")->setChecked(true);
        QVERIFY(!ControlOf<QLineEdit>(ui, "Number")->isEnabled());
        dialog.OKButtonClick();
        QCOMPARE(prompts.Texts().last(),
                 QString("You must enter the NAME to identify this caller"));
        ControlOf<QLineEdit>(ui, "Name")->setText(QString::fromUtf8("Zoë "));
        QKeyEvent omega(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("Ω"));
        QApplication::sendEvent(ControlOf<QLineEdit>(ui, "Name"),
                                &omega);  // cannot be stored: refused
        QCOMPARE(ControlOf<QLineEdit>(ui, "Name")->text(), QString::fromUtf8("Zoë "));
        QVERIFY(prompts.Texts().last().startsWith(
            QString::fromUtf8("This field cannot hold these characters: Ω")));
        QStringList recorded;
        dialog.RunDialog = [&](QDialog& opened) {
            recorded << opened.findChild<QLabel*>("WaveFile")->text();
            return int(QDialog::Rejected);
        };
        ControlOf<QLineEdit>(ui, "Name")->clear();
        ControlOf<QPushButton>(ui, "NewButton")->click();
        QCOMPARE(recorded, QStringList{m_dir->filePath("Personal Sounds/Sound1.wav")});
        QCOMPARE(ControlOf<QLineEdit>(ui, "SoundFile")->text(),
                 QString());  // not recorded: nothing kept
        ControlOf<QLineEdit>(ui, "RealName")->setText("WATER CPNY");
        ControlOf<QLineEdit>(ui, "TimesCalled")->setText("many");
        dialog.OKButtonClick();
        QCOMPARE(prompts.Texts().last(), QString("'many' is not a valid integer value"));
        ControlOf<QPushButton>(ui, "RestTimesCalled")->click();
        dialog.OKButtonClick();
        QCOMPARE(prompts.Messages.last().Id, 209);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Entry().KeyType, quint8(KeyName));
        QCOMPARE(dialog.Entry().TimesCalled, 0);
    }

    // A greeting named without an extension is recorded as that name with ".wav", inside its
    // folder, even when the data folder's path has dots of its own; nothing recorded (no
    // microphone) names no greeting. Browse copies a wave file into the folder and refuses a
    // text file named ".wav".
    void soundsOfAnEntryInADottedFolder() {
        const QString dotted = m_dir->filePath(".local/share/Ringvale");
        QVERIFY(QDir().mkpath(dotted + "/Greetings"));
        TProfile::SetFolder(dotted);
        TScriptedPrompts prompts;
        TGetNewName dialog;
        dialog.SetEntry(PhoneBookEntry(), false);
        const QObject& ui = dialog;
        QStringList recorded;
        bool microphone = false;
        dialog.RunDialog = [&](QDialog& opened) {
            recorded << opened.findChild<QLabel*>("WaveFile")->text();
            if (microphone) QFile(recorded.last()).open(QIODevice::WriteOnly);
            return int(QDialog::Accepted);
        };
        ControlOf<QPushButton>(ui, "EditPersonalGreeting")->click();
        QCOMPARE(ControlOf<QLineEdit>(ui, "PersonalGreeting")->text(), QString());
        microphone = true;
        ControlOf<QLineEdit>(ui, "PersonalGreeting")->setText("Bob");
        ControlOf<QPushButton>(ui, "EditPersonalGreeting")->click();
        QCOMPARE(recorded.last(), dotted + "/Greetings/Bob.wav");
        QCOMPARE(ControlOf<QLineEdit>(ui, "PersonalGreeting")->text(), QString("Bob.wav"));

        QTemporaryDir elsewhere;
        QFile text(elsewhere.filePath("Hello.wav"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("Hello, I am not here right now.");
        text.close();
        prompts.FileAnswers.enqueue(text.fileName());
        ControlOf<QPushButton>(ui, "BrowsePersonalGreetings")->click();
        QCOMPARE(ControlOf<QLineEdit>(ui, "PersonalGreeting")->text(), QString("Bob.wav"));
        QCOMPARE(prompts.Texts().last(),
                 QString("\"Hello.wav\" can't be used as a sound.\rIt is not a wave file."));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write(Wave(8000, QByteArray(800, char(140))));
        text.close();
        prompts.FileAnswers.enqueue(text.fileName());
        ControlOf<QPushButton>(ui, "BrowsePersonalGreetings")->click();
        QCOMPARE(ControlOf<QLineEdit>(ui, "PersonalGreeting")->text(), QString("Hello.wav"));
        QVERIFY(QFile::exists(dotted + "/Greetings/Hello.wav"));
        TProfile::SetFolder(m_dir->path());
    }

    // From the history: Add makes an entry from the call and the row shows its new name;
    // Block makes one that hangs up on the caller.
    void addAndBlockFromTheHistory() {
        {
            TCallLog log;
            CallLogRecord call;
            call.Name = "GARCIA MARIA";
            call.Number = "4045551212";
            call.When = "Tue Dec 08 09:21 AM";
            call.Time = 1796000000;
            QVERIFY(log.AppendCallLog(call));
            CallLogRecord pest = call;
            pest.Name = "PEST INC";
            pest.Number = "8005550199";
            QVERIFY(log.AppendCallLog(pest));
        }
        TScriptedPrompts prompts;
        auto form = Form();
        const QObject& ui = *form;
        form->PhoneBook()->RunEntryDialog = [](TGetNewName& dialog) {
            if (ControlOf<QLineEdit>(dialog, "Name")->text() == "GARCIA MARIA")
                ControlOf<QLineEdit>(dialog, "Name")->setText("Maria");
            dialog.OKButtonClick();
            return dialog.result();
        };
        QTreeWidgetItem* maria = ControlOf<QTreeWidget>(ui, "historyList")
                                     ->findItems("GARCIA MARIA", Qt::MatchExactly)[0];
        form->History()->SelectOnly(maria);
        QVERIFY(ControlOf<QToolButton>(ui, "AddToPhoneBookButton")->isEnabled());
        ControlOf<QToolButton>(ui, "AddToPhoneBookButton")->click();
        QCOMPARE(maria->text(0), QString("Maria"));
        QVERIFY(!ControlOf<QToolButton>(ui, "AddToPhoneBookButton")
                     ->isEnabled());  // known now: Edit instead

        QTreeWidgetItem* pest =
            ControlOf<QTreeWidget>(ui, "historyList")->findItems("PEST INC", Qt::MatchExactly)[0];
        form->History()->SelectOnly(pest);
        QMenu* menu = form->History()->BuildPopup();
        QAction* block = MenuAction(*menu, "BlockCaller");
        QCOMPARE(block->text(), QString("Block \"PEST INC\" From Calling Again..."));
        block->trigger();
        menu->deleteLater();
        const PhoneBookEntry* blocked =
            form->Session().PhoneBook().FindCaller("8005550199", "PEST INC");
        QVERIFY(blocked);
        QCOMPARE(blocked->ActionFlags, quint32(ActionHangUp));
        QCOMPARE(FileOrder(m_dir->path()), QStringList({"Maria", "PEST INC"}));
    }
};

QTEST_MAIN(TestPhoneBookTab)
#include "test_phonebooktab.moc"
