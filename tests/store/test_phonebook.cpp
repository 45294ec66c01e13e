// The phone book: entry bytes, caller lookup, duplicates, texts, backup and restore.

#include "scriptedprompts.h"
#include "store/config.h"
#include "store/datafile.h"
#include "store/phonebook.h"
#include "storetest.h"

namespace {
PhoneBookEntry Entry(const QString& display, const QString& number, quint8 key = KeyNumber,
                     const QString& realName = QString()) {
    PhoneBookEntry entry;
    entry.DisplayName = display;
    entry.Number = number;
    entry.KeyType = key;
    entry.RealName = realName;
    return entry;
}
}  // namespace

class TestPhoneBook : public QObject {
    Q_OBJECT
private slots:
    void entryBytes() {
        PhoneBookEntry entry = Entry("Mom", "(404) 555-1212", KeyName, "SMITH J");
        entry.SoundFile = "chime.wav";
        entry.ActionFlags = ActionHangUp | ActionPageMe;
        entry.TimesCalled = 1234;
        entry.PersonalGreeting = "mom.wav";
        const QByteArray bytes = entry.ToBytes();
        QCOMPARE(bytes.size(), 668);
        QCOMPARE(TextAt(bytes, 0, 32), QByteArray("Mom"));
        QCOMPARE(TextAt(bytes, 32, 32), QByteArray("(404) 555-1212"));
        QCOMPARE(TextAt(bytes, 64, 260), QByteArray("chime.wav"));
        QCOMPARE(bytes.mid(324, 5), QByteArray("\x06\0\0\0\x01", 5));
        QCOMPARE(TextAt(bytes, 329, 32), QByteArray("SMITH J"));
        QCOMPARE(bytes.mid(361, 3), QByteArray(3, '\0'));
        QCOMPARE(Int32At(bytes, 364), 1234);
        QCOMPARE(TextAt(bytes, 376, 260), QByteArray("mom.wav"));
        QCOMPARE(bytes.mid(636), QByteArray(32, '\0'));
        QCOMPARE(PhoneBookEntry::FromBytes(bytes).ToBytes(), bytes);
        QCOMPARE(TPhoneBook::RowTexts(entry),
                 (QStringList{"SMITH J", "Mom", "(404) 555-1212", "mom.wav",
                              "play greeting & hang up & page me ", "1,234", "chime.wav"}));
    }

    void texts() {
        QCOMPARE(DigitsOnly("(404) 555-1212"), QString("4045551212"));
        QCOMPARE(TrimName("  SMITH J   "), QString("SMITH J"));
        QCOMPARE(TrimName(QString::fromLatin1("RENE\xc9")),
                 QString("RENE"));  // bytes 128-255 trail off
        QCOMPARE(TrimName("X"), QString("X"));
        QCOMPARE(FormatCount(7), QString("7"));
        QCOMPARE(FormatCount(1234), QString("1,234"));
        QCOMPARE(FormatCount(1234567), QString("1,234,567"));
        PhoneBookEntry entry;
        QCOMPARE(ActionText(entry), QString());
        entry.ActionFlags = ActionHangUp;
        QCOMPARE(ActionText(entry), QString("hang up "));
        entry.PersonalGreeting = "C:\\Greetings\\";  // no file-name part
        QCOMPARE(ActionText(entry), QString("hang up "));
        entry.ActionFlags = ActionPageMe;
        QCOMPARE(ActionText(entry), QString("page me "));
        entry.ActionFlags = ActionPageMe | ActionHangUp;
        QCOMPARE(ActionText(entry), QString("hang up & page me "));
        QCOMPARE(TPhoneBook::SuggestedBackupName("12/7/2026"),
                 QString("Ringvale Phonebook Backup 12-7-2026.pbb"));
    }

    void findCaller() {
        TPhoneBook book;
        PhoneBookEntry* water = book.Add(Entry("Water Co", "", KeyName, "WATER CPNY"));
        PhoneBookEntry* byNumber = book.Add(Entry("Water (main)", "(404) 555 1212"));
        PhoneBookEntry* smith = book.Add(Entry("John", "", KeyName, "SMITH J"));
        PhoneBookEntry* withheld = book.Add(Entry("Private", "P"));
        QCOMPARE(book.FindCaller("404-555-1212", "WATER CPNY"), byNumber);  // the number wins
        QCOMPARE(book.FindCaller("770-555-0000", "WATER CPNY"), water);
        QCOMPARE(book.FindCaller("770-555-0001", "  SMITH J   "), smith);
        QCOMPARE(book.FindCaller("770-555-0001", "smith j"), nullptr);
        QCOMPARE(book.FindCaller("", "O"), withheld);  // no digits matches no digits
        QString name;
        QVERIFY(book.CallerDisplayName("4045551212", "", &name));
        QCOMPARE(name, QString("Water (main)"));
        QVERIFY(!book.CallerDisplayName("111", "NOBODY", &name));
        QCOMPARE(name, QString("NOBODY"));
    }

    // Patterns: an exact number wins wherever it stands, then the longest pattern that fits
    // (the first of equal ones), then the caller ID name.
    void patternsInTheirOrder_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const QStringList rows[] = {
            {"exact below patterns", "800-555-0100", "", "Friend at 800"},
            {"longer pattern", "800-555-0199", "", "800 555"},
            {"shorter pattern", "800-999-0000", "", "toll free"},
            {"? counts one digit", "(404) 555-7777", "", "404555????"},
            {"? needs every digit", "404-555-777", "", "anyone"},
            {"* in the middle", "9001239", "", "9*9"},
            {"a pattern over a name", "800-000-0000", "WATER CPNY", "toll free"},
            {"even * over a name", "770-000-0000", "WATER CPNY", "anyone"},
            {"* alone, last", "123", "", "anyone"},
            {"* takes no digits too", "", "", "anyone"},
            {"private", "0000000000", "Private", "withheld"},
            {"out of area", "0000000000", "Out Of Area", "far away"},
            {"no caller ID", "000-000-0000", "Unknown", "silent"},
            {"a real caller named Private", "7705550000", "Private", "anyone"},
        };
        for (const QStringList& row : rows)
            QTest::newRow(qPrintable(row[0])) << row[1] << row[2] << row[3];
    }
    void patternsInTheirOrder() {
        QFETCH(QString, number);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        TPhoneBook book;
        book.Add(Entry("anyone", "*"));
        book.Add(Entry("Water", "", KeyName, "WATER CPNY"));
        book.Add(Entry("toll free", "800*"));
        book.Add(Entry("800 555", "800-555-*"));
        book.Add(Entry("800 555 again", "800555*"));
        book.Add(Entry("404555????", "404-555-????"));
        book.Add(Entry("9*9", "9*9"));
        book.Add(Entry("Friend at 800", "800-555-0100"));
        book.Add(Entry("withheld", "private"));
        book.Add(Entry("far away", "Out of area"));
        book.Add(Entry("silent", "No Caller ID"));
        const PhoneBookEntry* found = book.FindCaller(number, name);
        QVERIFY(found);
        QCOMPARE(found->DisplayName, expected);
    }

    void patternTexts() {
        QCOMPARE(NumberMeaning("800*"), QString("Every number that begins with 800."));
        QCOMPARE(NumberMeaning("404-555-????"),
                 QString("Every number of 10 digits that fits 404555???? (? is any digit)."));
        QVERIFY(NumberMeaning("404-555-1212").startsWith("Calls from this number."));
        // "800*" and "800" match different callers: no duplicate pair.
        TPhoneBook book;
        book.Add(Entry("a", "800*"));
        book.Add(Entry("b", "800"));
        book.Add(Entry("c", "(800) *"));
        book.Add(Entry("d", "Private"));
        book.Add(Entry("e", "No caller ID"));
        QCOMPARE(book.CheckDuplicateEntries().size(), 1);
        QCOMPARE(NumberMeaning("private"), QString("Callers who withhold their number."));
    }

    void duplicates() {
        TPhoneBook book;
        book.Add(Entry("Mom", "404-555-1212"));
        book.Add(Entry("Dad", "", KeyName, "JONES"));
        book.Add(Entry("Mother", "4045551212"));
        book.Add(Entry("Dad", "", KeyName, "JONES B"));
        book.Add(Entry("Other", "", KeyName, "JONES"));
        const auto pairs = book.CheckDuplicateEntries();
        QCOMPARE(pairs.size(), 2);
        QCOMPARE(pairs[0].First, 0);
        QCOMPARE(pairs[0].Second, 2);
        QCOMPARE(pairs[0].Text, QString("You have duplicate phone book entries.\rThe entries are:\r"
                                        "Display Name: \"Mom\"\tKey: \"404-555-1212\"\r"
                                        "Display Name: \"Mother\"\tKey: \"4045551212\"\r"
                                        "They have been highlighted in the phone book list if you "
                                        "wish to edit or remove them."));
        QCOMPARE(pairs[1].First, 1);
        QCOMPARE(pairs[1].Second, 3);
    }

    // A damaged entry is skipped and the file kept aside whole before the next save.
    void aDamagedPhoneBookIsKeptAside() {
        TScratchFolder folder;
        const QByteArray file = Entry("Mom", "404-555-1212").ToBytes() + QByteArray(668, 'z') +
                                Entry("Dad", "770-555-0000").ToBytes();
        WriteAll(TPhoneBook::FileName(), file);
        TPhoneBook book;
        QCOMPARE(book.LoadPhoneBook(), 2);
        QCOMPARE(book.Entries[1]->DisplayName, QString("Dad"));
        QCOMPARE(ReadAll(TPhoneBook::FileName() + ".bad"), file);
        QCOMPARE(TakeDataNotices().size(), 1);
        QVERIFY(book.SavePhoneBook());
        QCOMPARE(ReadAll(TPhoneBook::FileName()).size(), 2 * 668);
    }

    void fileSaveLoadBackupRestore() {
        TScratchFolder folder;
        TScriptedPrompts prompts;
        TPhoneBook book;
        QCOMPARE(book.LoadPhoneBook(), 0);
        book.Add(Entry("Mom", "404-555-1212"));
        book.Add(Entry("Dad", "770-555-0000"));
        QVERIFY(book.SavePhoneBook());
        const QByteArray saved = ReadAll(TPhoneBook::FileName());
        QCOMPARE(saved.size(), 2 * 668);
        QCOMPARE(QFile::permissions(TPhoneBook::FileName()) & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
        WriteAll(TPhoneBook::FileName(), saved.left(1000));
        QCOMPARE(book.LoadPhoneBook(), 1);
        QVERIFY(book.SavePhoneBook());

        TConfig config;
        TClock::Set(1700000000);
        const QString backup = folder.Path("backup.pbb");
        prompts.FileAnswers.enqueue(backup);
        QVERIFY(book.BackupPhoneBook(config, "12/7/2026"));
        QCOMPARE(config.LastBackupTime, 1700000000);
        QCOMPARE(ReadAll(backup), ReadAll(TPhoneBook::FileName()));
        QCOMPARE(prompts.Texts("message").last(),
                 "Backup phonebook has been saved to\r\"" + backup + "\"");
        QCOMPARE(RegistrySetting("LastPhoneBkDir", QString(), false), folder.Dir.path());

        prompts.FileAnswers.enqueue(folder.Path("no/such/dir/b.pbb"));
        QVERIFY(!book.BackupPhoneBook(config, "12/7/2026"));
        QVERIFY(prompts.Texts("message").last().startsWith(
            "There was an error saving the backup to\r"));

        book.Add(Entry("Sis", "1"));
        QVERIFY(book.SavePhoneBook());
        prompts.FileAnswers.enqueue(backup);
        QVERIFY(book.RestorePhoneBook());
        QCOMPARE(int(book.Entries.size()), 1);
        QCOMPARE(prompts.Texts("box").last(), QString("The backup database has been restored"));
        prompts.FileAnswers.enqueue(folder.Path("missing.pbb"));
        QVERIFY(!book.RestorePhoneBook());
        QCOMPARE(int(book.Entries.size()), 1);
        QCOMPARE(prompts.Texts("box").last(), QString("There was an error restoring the database"));
    }

    void lastBackupLabel() {
        qputenv("TZ", "UTC");
        QCOMPARE(TPhoneBook::LastBackupText(0), QString("You have not backed up your database"));
        QCOMPARE(TPhoneBook::LastBackupText(qint32(LocalTime(2026, 12, 7, 0, 5))),
                 QString("Last backup: Mon Dec  7  @ 12:05 AM"));
        QCOMPARE(TPhoneBook::LastBackupText(qint32(LocalTime(2026, 12, 17, 12, 30))),
                 QString("Last backup: Thu Dec 17  @ 12:30 PM"));
    }
};

QTEST_GUILESS_MAIN(TestPhoneBook)
#include "test_phonebook.moc"
