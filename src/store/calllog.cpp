#include "store/calllog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <limits>

#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/records.h"
#include "platform/tfile.h"
#include "store/datafile.h"
#include "store/message.h"
#include "store/phonebook.h"

namespace {
const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

QString Two(int n) {
    return QString::number(n).rightJustified(2, QLatin1Char('0'));
}
}  // namespace

QByteArray CallLogRecord::ToBytes() const {
    QByteArray bytes(kSize, '\0');
    TRecordWriter w(bytes);
    w.Text(0, 32, When);
    w.Text(32, 32, Number);
    w.Text(64, 24, Name);
    w.U32(88, Heard);
    w.U32(92, Actions);
    w.I32(96, Time);
    w.Text(100, 516, MessageFile);
    return bytes;
}

CallLogRecord CallLogRecord::FromBytes(const QByteArray& bytes) {
    const TRecordReader r(bytes);
    CallLogRecord record;
    record.When = r.Text(0, 32);
    record.Number = r.Text(32, 32);
    record.Name = r.Text(64, 24);
    record.Heard = r.U32(88);
    record.Actions = r.U32(92);
    record.Time = r.I32(96);
    record.MessageFile = r.Text(100, 516);
    return record;
}

bool CallLogRecord::Plausible(const QByteArray& bytes) {
    constexpr qint32 k1990 = 631152000;
    return FieldTerminated(bytes, 0, 32) && FieldTerminated(bytes, 32, 32) &&
           FieldTerminated(bytes, 64, 24) && FieldTerminated(bytes, 100, 516) &&
           TRecordReader(bytes).I32(96) >= k1990;
}

QString CallLogRecord::MessageName() const {
    return FileNamePart(MessageFile);
}

QString FormatNumber(const QString& number) {
    static const QString kTemplate = QStringLiteral("xxx-xxx-xxxx");
    constexpr int kGroupedDigits = 10;
    constexpr int kFieldChars = 31;
    // An international number, or one with an extension, is kept whole: grouping it as a
    // North American number would cut it and make calling back dial someone else.
    const QString digits = DigitsOnly(number);
    if (digits.size() > kGroupedDigits) return digits.left(kFieldChars);
    QString out = QLatin1String(kNoNumber);
    int written = 0;  // output length after the last written position
    int slot = 0;
    for (const QChar c : digits) {
        if (kTemplate[slot] == QLatin1Char('-')) ++slot;
        out[slot++] = c;
        written = slot;
    }
    return written ? out.left(written) : out;
}

QString FormatCallTime(qint64 now) {
    const QDateTime local = QDateTime::fromSecsSinceEpoch(now).toLocalTime();
    const QDate date = local.date();
    const int hour = local.time().hour();
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return QLatin1String(kDays[date.dayOfWeek() - 1]) + QLatin1Char(' ') +
           QLatin1String(kMonths[date.month() - 1]) + QLatin1Char(' ') + Two(date.day()) +
           QLatin1Char(' ') + Two(hour12) + QLatin1Char(':') + Two(local.time().minute()) +
           (hour < 12 ? QStringLiteral(" AM") : QStringLiteral(" PM"));
}

QString FormatTimeAgo(qint64 time, qint64 now) {
    const qint64 s = now - time;
    if (s / 86400 >= 100) return QStringLiteral("00:00:00");
    return Two(int(s / 86400)) + QLatin1Char(':') + Two(int(s % 86400 / 3600)) + QLatin1Char(':') +
           Two(int(s % 3600 / 60));
}

QString LogActionText(quint32 actions) {
    struct Bit {
        quint32 Value;
        const char* Text;
    };
    static const Bit kBits[] = {{LOG_DATABASE_OFF, "database was off"},
                                {LOG_HUNG_UP, "Hung up "},
                                {LOG_PAGED, "Paged "},
                                {LOG_FAILED_PAGE, "FAILED PAGE "},
                                {LOG_TOOK_MESSAGE, "Took message"},
                                {LOG_WRONG_CODE, "Wrong access code"},
                                {LOG_PICKED_UP, "Picked up"},
                                {LOG_SCREENED_OUT, "Screened out"}};
    QString text;
    for (const Bit& bit : kBits) {
        if (!(actions & bit.Value)) continue;
        if (bit.Value == LOG_DATABASE_OFF && !text.isEmpty()) text += QStringLiteral("& ");
        if (!text.isEmpty()) text += QStringLiteral(", ");
        text += QLatin1String(bit.Text);
    }
    return text;
}

QString TrimBlanks(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && text[start] == QLatin1Char(' '))
        ++start;
    qsizetype end = text.size();
    while (end > start && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(start, end - start);
}

QString TCallLog::FileName() {
    return TProfile::Path(QStringLiteral("CALL.LOG"));
}

QString TCallLog::MessagesFolder() {
    return TProfile::Path(QStringLiteral("Messages"));
}

bool TCallLog::PrepareMessagesFolder(QString* problem) {
    const QString folder = MessagesFolder();
    const QFileInfo info(folder);
    if (info.isSymLink() || (info.exists() && !info.isDir())) KeepAside(folder, false);
    if (!TProfile::Prepare(TProfile::Folder(), problem) || !TProfile::Prepare(folder, problem))
        return false;
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if ((QFile::permissions(folder) & owner) != owner)
        QFile::setPermissions(folder, QFile::permissions(folder) | owner);
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0) return true;
    *problem = QStringLiteral("\"Messages\" cannot be written");
    return false;
}

CallLogRecord& TCallLog::Adopt(CallLogRecord& record) {
    record.Id = m_nextId++;
    return record;
}

CallLogRecord* TCallLog::NewLogRecord() {
    Records.emplace_back();
    return &Adopt(Records.back());
}

CallLogRecord* TCallLog::Find(quint64 id) {
    for (CallLogRecord& record : Records)
        if (record.Id == id) return &record;
    return nullptr;
}

MessageState TCallLog::StateOf(const CallLogRecord& record) {
    const QString name = record.MessageName();
    if (name.isEmpty() || !QFileInfo(MessagesFolder() + QLatin1Char('/') + name).isFile())
        return NoMessage;
    return record.Heard ? HeardMessage : NewMessage;
}

void TCallLog::FillLogRecord(CallLogRecord* record, const QString& callerName,
                             const QString& callerNumber) {
    record->Name = TrimBlanks(callerName.left(23));
    record->When = FormatCallTime(TClock::Now());
    record->Number = TrimBlanks(FormatNumber(callerNumber));
}

namespace {
bool WriteAt(const CallLogRecord& record, qint64 offset) {
    TFile file;
    if (file.Open(TCallLog::FileName(), TFile::ModeWrite) < 0 || file.Seek(offset) != offset)
        return false;
    const QByteArray bytes = record.ToBytes();
    return file.Write(bytes.constData(), bytes.size()) == bytes.size() && file.Flush();
}
}  // namespace

void TCallLog::RememberFile() {
    struct stat st;
    m_known = ::stat(QFile::encodeName(FileName()).constData(), &st) == 0;
    m_device = m_known ? quint64(st.st_dev) : 0;
    m_inode = m_known ? quint64(st.st_ino) : 0;
}

// Records are written in place at the offsets of the file that was read or written last. A
// file put in its place since (a sync tool, a restore) is kept aside instead of being written
// over, and one that is gone (the folder with it) is not written into a new empty file at an
// old offset: either way the log is written whole again, from the records held here.
TCallLog::FileCheck TCallLog::CheckFile() {
    if (!m_known) return FileCheck::Same;
    struct stat st;
    const QByteArray path = QFile::encodeName(FileName());
    if (::stat(path.constData(), &st) == 0 && quint64(st.st_dev) == m_device &&
        quint64(st.st_ino) == m_inode)
        return FileCheck::Same;
    QString problem;
    if (::lstat(path.constData(), &st) == 0) {
        const QString aside = KeepAside(FileName(), false);
        qWarning().noquote()
            << "CALL.LOG was replaced while Ringvale ran; the other file is kept as" << aside;
    } else {
        qWarning().noquote() << "CALL.LOG is gone: it is written again";
        TProfile::Prepare(TProfile::Folder(), &problem);
    }
    return SaveCallLog() ? FileCheck::Rewritten : FileCheck::Failed;
}

// After a crash mid-append the file ends with part of a record: the next record goes over
// it, so every record stays at a multiple of its size.
bool TCallLog::AppendCallLog(CallLogRecord& record) {
    if (!m_writable) return false;
    if (const FileCheck check = CheckFile(); check != FileCheck::Same)
        return check == FileCheck::Rewritten && record.Offset >= 0;
    QString problem;
    TProfile::Prepare(TProfile::Folder(), &problem);  // the folder may have gone with the log
    TFile file;
    if (file.Open(FileName(), TFile::ModeWrite) < 0) return false;
    const qint64 size = file.GetSize();
    file.Close();
    if (size < 0) return false;
    const qint64 offset = size - size % CallLogRecord::kSize;
    if (!WriteAt(record, offset)) return false;
    record.Offset = offset;
    if (!m_known) RememberFile();
    return true;
}

bool TCallLog::UpdateRecord(const CallLogRecord& record) {
    if (record.Offset < 0) return false;
    if (const FileCheck check = CheckFile(); check != FileCheck::Same)
        return check == FileCheck::Rewritten;
    return WriteAt(record, record.Offset);
}

int TCallLog::LoadCallLog(int maxItems) {
    Records.clear();
    LoadedCount = 0;
    const TDataFileLoad load =
        LoadDataFile(FileName(), CallLogRecord::kSize, kMaxRecords, &CallLogRecord::Plausible);
    m_writable = load.Writable;
    RememberFile();
    for (qsizetype i = 0; i < load.Records.size(); ++i) {
        CallLogRecord record = CallLogRecord::FromBytes(load.Records[i]);
        if (record.Number.isEmpty()) record.Number = QLatin1String(kNoNumber);
        record.Offset = load.Offsets[i];
        Records.push_back(record);
        Adopt(Records.back());
        ++LoadedCount;
    }
    TrimHistory(maxItems);
    // Only a log read whole decides which messages are orphans: an empty, cut or damaged log
    // (a full disk, a crash, a bad copy) would otherwise take every message with it.
    if (load.Whole && LoadedCount > 0) PurgeOrphanMessages();
    return LoadedCount;
}

bool TCallLog::SaveCallLog() {
    if (!m_writable) {
        qWarning().noquote()
            << "CALL.LOG was not written: the file that is there could not be read";
        return false;
    }
    QByteArray contents;
    contents.reserve(qsizetype(Records.size()) * CallLogRecord::kSize);
    qint64 offset = 0;
    for (const CallLogRecord& record : Records)
        contents += record.ToBytes();
    QString reason;
    if (RewriteFile(FileName(), contents, &reason)) {
        RememberFile();
        for (CallLogRecord& record : Records) {
            record.Offset = offset;
            offset += CallLogRecord::kSize;
        }
        return true;
    }
    ShowManagedMessage(MSG_CANT_OPEN_HISTORY, FormatText(StringTableText(MSG_CANT_OPEN_HISTORY),
                                                         {QStringLiteral("CALL.LOG"), reason}));
    return false;
}

QList<quint64> TCallLog::TrimHistory(int maxItems) {
    QList<quint64> removed;
    while (int(Records.size()) > maxItems) {
        DeleteMessageFile(&Records.front());
        removed << Records.front().Id;
        Records.pop_front();
    }
    return removed;
}

std::vector<const CallLogRecord*> TCallLog::OldestBeyond(int maxItems) const {
    std::vector<const CallLogRecord*> oldest;
    qsizetype extra = qsizetype(Records.size()) - qMax(maxItems, 0);
    for (auto it = Records.begin(); extra > 0; ++it, --extra)
        oldest.push_back(&*it);
    return oldest;
}

QList<quint64> TCallLog::BeyondLimit(int maxItems) const {
    QList<quint64> ids;
    for (const CallLogRecord* record : OldestBeyond(maxItems))
        ids << record->Id;
    return ids;
}

int TCallLog::NewMessagesBeyond(int maxItems) const {
    const auto oldest = OldestBeyond(maxItems);
    return int(std::count_if(oldest.begin(), oldest.end(), [](const CallLogRecord* record) {
        return StateOf(*record) == NewMessage;
    }));
}

void TCallLog::PurgeOrphanMessages() {
    QSet<QString> kept;
    for (const CallLogRecord& record : Records)
        kept.insert(record.MessageName());
    const QDir folder(MessagesFolder());
    const QStringList files =
        folder.entryList({QStringLiteral("*.wav")}, QDir::Files | QDir::Hidden | QDir::System);
    TFile file;
    for (const QString& name : files)
        if (!kept.contains(name)) file.Delete(folder.filePath(name));
}

bool TCallLog::DeleteMessageFile(CallLogRecord* record) {
    const QString name = record->MessageName();
    if (name.isEmpty() || name == QLatin1String("..") || name == QLatin1String(".")) return false;
    TFile file;
    if (!file.Delete(MessagesFolder() + QLatin1Char('/') + name)) return false;
    record->MessageFile.clear();
    UpdateRecord(*record);
    return true;
}

void TCallLog::Remove(const CallLogRecord* record) {
    Records.remove_if([record](const CallLogRecord& r) { return &r == record; });
}

QStringList TCallLog::RowTexts(const CallLogRecord& record, TPhoneBook* phoneBook, qint64 now) {
    QString caption = record.Name;
    if (PhoneBookEntry* entry =
            phoneBook ? phoneBook->FindCaller(record.Number, record.Name) : nullptr) {
        caption = entry->DisplayName;
        if (entry->RealName.isEmpty()) entry->RealName = record.Name;
    }
    return {caption, record.Number, record.When, FormatTimeAgo(record.Time, now),
            LogActionText(record.Actions)};
}

int TCallLog::Compare(int column, const QStringList& a, const CallLogRecord* ra,
                      const QStringList& b, const CallLogRecord* rb, bool direction) {
    int result;
    if (column == ColWhen || column == ColTimeAgo) {
        // A row without a call comes first; then the later call; equal times are equal.
        const qint64 ta = ra ? ra->Time : std::numeric_limits<qint64>::max();
        const qint64 tb = rb ? rb->Time : std::numeric_limits<qint64>::max();
        result = ta > tb ? -1 : ta < tb ? 1 : 0;
    } else {
        result = QString::localeAwareCompare(a.value(column), b.value(column));
        result = result < 0 ? -1 : result > 0 ? 1 : 0;
    }
    return direction ? result : -result;
}

void TCallLog::SortHistory(QList<THistoryRow>& rows, int column, bool direction) {
    QHash<quint64, const CallLogRecord*> byId;  // looked up once, not per comparison
    for (const CallLogRecord& record : Records)
        byId.insert(record.Id, &record);
    std::stable_sort(rows.begin(), rows.end(), [&](const THistoryRow& a, const THistoryRow& b) {
        return Compare(column, a.Texts, byId.value(a.Id), b.Texts, byId.value(b.Id), direction) < 0;
    });
}
