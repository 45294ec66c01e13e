#pragma once
// The phone book: one 668-byte entry per known caller, in lookup order, stored back to back
// in "Ringvale Phonebook.pb12" and rewritten whole after every change. Callers are
// recognised by number or by their caller ID name.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class TConfig;

// ActionDisconnectedTone goes with ActionHangUp: the "number not in service" tones are played
// in place of a greeting (an older copy, which knows only the other bits, plays the greeting).
enum CallerAction : quint32 { ActionHangUp = 2, ActionPageMe = 4, ActionDisconnectedTone = 8 };
enum KeyTypes : quint8 { KeyNumber = 0, KeyName = 1 };

struct PhoneBookEntry {
    static constexpr int kSize = 668;
    QString DisplayName;  // char[32]
    QString Number;       // char[32]
    QString SoundFile;    // char[260], inside "Personal Sounds"
    quint32 ActionFlags = 0;
    quint8 KeyType = KeyNumber;
    QString RealName;  // char[32], as caller ID gives it
    qint32 TimesCalled = 0;
    QString PersonalGreeting;  // char[260], inside "Greetings"

    // Bytes that can be an entry: every text ends inside its field.
    static bool Plausible(const QByteArray& bytes);
    QByteArray ToBytes() const;
    static PhoneBookEntry FromBytes(const QByteArray& bytes);
};

QString DigitsOnly(const QString& text);
// A number with '?' (any one digit) or '*' (any digits, none included) stands for many callers:
// "800*", "404555????". Other characters in it are ignored, as in a number.
bool IsNumberPattern(const QString& number);
bool PatternMatches(const QString& pattern, QStringView digits);
// How many digits a pattern fixes or counts ('?'): the longer pattern decides.
int PatternLength(const QString& pattern);
// The kinds of caller a number field can name instead of a number: "Private" (the number
// withheld), "Out of area" and "No caller ID" (none by the second ring); "" for a number.
QString CallerCategory(const QString& number);
// The three category names, for the entry dialog to offer.
QStringList CallerCategories();
// The category a caller falls in by what caller ID gave, or "".
QString CategoryOfCaller(const QString& number, const QString& name);
// What a number or pattern matches, in words.
QString NumberMeaning(const QString& number);
// Leading blanks dropped, then trailing characters whose code as a signed byte is 32 or less.
QString TrimName(const QString& text);
// The part after the last folder separator.
QString FileNamePart(const QString& path);
QString ActionText(const PhoneBookEntry& entry);
QString FormatCount(qint64 n);

class TPhoneBook {
public:
    static QString FileName();
    static constexpr qint64 kMaxEntries = 100000;

    // Entries in lookup order; each is owned here and keeps its address until removed.
    std::vector<std::unique_ptr<PhoneBookEntry>> Entries;

    int LoadPhoneBook();
    // Message 300 when the file cannot be written; the entries stay as they are. A file that
    // could not be read at start-up and could not be kept aside is left alone.
    bool SavePhoneBook();
    PhoneBookEntry* Add(const PhoneBookEntry& entry);
    void Remove(const PhoneBookEntry* entry);
    // The entries in the given order (the rows of the window after a sort or a drag); false
    // when the order is not a rearrangement of the entries, which then stay as they were.
    bool Reorder(const std::vector<const PhoneBookEntry*>& order);
    // Whether a file holds phone book entries: whole records whose texts end in their fields.
    static bool IsPhoneBookFile(const QString& path);

    // The entry for a caller: one for the exact number, wherever it stands, else the longest
    // pattern that matches (the first of equal ones), else the first for the caller ID name.
    PhoneBookEntry* FindCaller(const QString& number, const QString& name) const;
    PhoneBookEntry* FindCallerByNumber(const QString& number) const;
    // The entry's display name (true) or the caller ID name (false).
    bool CallerDisplayName(const QString& number, const QString& name, QString* out) const;

    struct DuplicatePair {
        int First;     // row index j
        int Second;    // row index k > j
        QString Text;  // the filled text 208
    };
    QList<DuplicatePair> CheckDuplicateEntries() const;

    // "Original Name", "Display Name", "Number", "Greeting", "Action To Take", "Called",
    // "Notify Sound".
    static QStringList RowTexts(const PhoneBookEntry& entry);

    // Backup and restore as file copies, through the file dialogs and the message manager.
    static QString SuggestedBackupName(const QString& shortDate);
    bool BackupPhoneBook(TConfig& config, const QString& shortDate);
    bool RestorePhoneBook();
    // The "Last backup" label text.
    static QString LastBackupText(qint32 lastBackupTime);

private:
    // The exact number's entry, else the most precise pattern or category that fits.
    PhoneBookEntry* FindByNumber(const QString& number, const QString& category) const;
    bool m_writable = true;
};
