#pragma once
// The call log: one 616-byte record per incoming call, in "CALL.LOG" (oldest first), and the
// list in memory in file order. A record ties its call to the recorded message file, so the
// log decides which message files stay.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <list>
#include <vector>

class TPhoneBook;

// What was done with a call.
enum : quint32 {
    LOG_HUNG_UP = 0x2,
    LOG_PAGED = 0x4,
    LOG_DATABASE_OFF = 0x100,
    LOG_FAILED_PAGE = 0x200,
    LOG_TOOK_MESSAGE = 0x400,
    LOG_WRONG_CODE = 0x800,     // the caller keyed a wrong access code (older copies ignore it)
    LOG_PICKED_UP = 0x1000,     // someone in the house took the call (older copies ignore it)
    LOG_SCREENED_OUT = 0x2000,  // a caller not in the phone book pressed no key
};

struct CallLogRecord {
    static constexpr int kSize = 616;
    QString When;    // char[32]
    QString Number;  // char[32]
    QString Name;    // char[24]
    quint32 Heard = 0;
    quint32 Actions = 0;
    qint32 Time = 0;      // seconds since 1970
    QString MessageFile;  // char[516], inside "Messages"
    qint64 Offset = -1;   // where the record lies in "CALL.LOG"; -1 = not written yet
    quint64 Id = 0;       // names the record while the program runs (rows, the call under way)

    QByteArray ToBytes() const;
    static CallLogRecord FromBytes(const QByteArray& bytes);
    // Bytes that can be a call record: every text ends inside its field, a time after 1990.
    static bool Plausible(const QByteArray& bytes);
    // The message file's name alone: a record read from disk never names a file elsewhere.
    QString MessageName() const;
};

// The number of a caller whose caller ID gave none.
inline constexpr char kNoNumber[] = "000-000-0000";
QString FormatNumber(const QString& number);
QString FormatCallTime(qint64 now);
QString FormatTimeAgo(qint64 time, qint64 now);
QString LogActionText(quint32 actions);
// Leading spaces dropped, then trailing characters of code 32 or less.
QString TrimBlanks(const QString& text);

// The message of a call as its row shows it.
enum MessageState { NoMessage = 0, NewMessage = 1, HeardMessage = 2 };

// A history row as the list sorts it: the record's id and the row's five texts.
struct THistoryRow {
    quint64 Id = 0;
    QStringList Texts;
};

// The five texts of a call history row: "Name" (the phone book display name when the caller is
// known), "Number", "When", "Time Ago" and "Action Taken".
enum HistoryColumn { ColName = 0, ColNumber, ColWhen, ColTimeAgo, ColAction, kHistoryColumns };

class TCallLog {
public:
    static QString FileName();
    static QString MessagesFolder();
    // Makes "Messages" (and the data folder) again when it is missing, keeps a file put in
    // its place aside and gives the user back the right to write in it. False with *problem
    // when it still cannot take a new file.
    static bool PrepareMessagesFolder(QString* problem);
    // The most records read at start-up: the newest of a larger file.
    static constexpr qint64 kMaxRecords = 50000;

    // The records in file order (oldest first); addresses stay valid until removed.
    std::list<CallLogRecord> Records;
    int LoadedCount = 0;

    CallLogRecord* NewLogRecord();
    CallLogRecord* Find(quint64 id);
    // No message, or its file is gone; a new one; one already heard. Reads, changes nothing.
    static MessageState StateOf(const CallLogRecord& record);
    static void FillLogRecord(CallLogRecord* record, const QString& callerName,
                              const QString& callerNumber);
    // Writes the record after the last whole record of the file, flushed to disk, and keeps
    // where it went.
    bool AppendCallLog(CallLogRecord& record);
    // Writes a record that is already in the file again in its place, flushed to disk: a
    // message is tied to its call the moment it is taken, heard or deleted.
    bool UpdateRecord(const CallLogRecord& record);
    // Reads the file, keeps the newest MaxItems and, when the file was read whole, purges
    // orphan message files.
    int LoadCallLog(int maxItems);
    // Rewrites the file from the list; message 306 when it cannot. A file that could not be
    // read at start-up and could not be kept aside is left alone.
    bool SaveCallLog();
    // Removes the oldest records beyond maxItems with their message files; returns their ids
    // so that the window can drop their rows.
    QList<quint64> TrimHistory(int maxItems);
    // The ids of the oldest records that a trim to maxItems would remove, and how many of
    // them hold a message not heard yet. Reads, changes nothing.
    QList<quint64> BeyondLimit(int maxItems) const;
    int NewMessagesBeyond(int maxItems) const;
    void PurgeOrphanMessages();
    bool DeleteMessageFile(CallLogRecord* record);
    void Remove(const CallLogRecord* record);

    // The history row texts of a record. A caller found in the phone book with no caller ID
    // name yet learns this record's name.
    static QStringList RowTexts(const CallLogRecord& record, TPhoneBook* phoneBook, qint64 now);
    // The comparison of two history rows by a column (texts as RowTexts gives them): -1, 0
    // or 1, a strict weak ordering (two calls at the same second are equal).
    static int Compare(int column, const QStringList& a, const CallLogRecord* ra,
                       const QStringList& b, const CallLogRecord* rb, bool direction);
    // Sorts rows by a column, keeping the order of equal rows.
    void SortHistory(QList<THistoryRow>& rows, int column, bool direction);

private:
    enum class FileCheck { Same, Rewritten, Failed };
    CallLogRecord& Adopt(CallLogRecord& record);
    std::vector<const CallLogRecord*> OldestBeyond(int maxItems) const;
    void RememberFile();
    FileCheck CheckFile();
    bool m_writable = true;
    bool m_known = false;  // the file last read or written, by its device and inode
    quint64 m_device = 0;
    quint64 m_inode = 0;
    quint64 m_nextId = 1;
};
