#include "store/phonebook.h"

#include <QVarLengthArray>

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <unordered_map>

#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/prompts.h"
#include "platform/records.h"
#include "platform/tfile.h"
#include "store/config.h"
#include "store/datafile.h"
#include "store/message.h"

QByteArray PhoneBookEntry::ToBytes() const {
    QByteArray bytes(kSize, '\0');
    TRecordWriter w(bytes);
    w.Text(0, 32, DisplayName);
    w.Text(32, 32, Number);
    w.Text(64, 260, SoundFile);
    w.U32(324, ActionFlags);
    w.U8(328, KeyType);
    w.Text(329, 32, RealName);
    w.I32(364, TimesCalled);
    w.Text(376, 260, PersonalGreeting);
    return bytes;
}

PhoneBookEntry PhoneBookEntry::FromBytes(const QByteArray& bytes) {
    const TRecordReader r(bytes);
    PhoneBookEntry entry;
    entry.DisplayName = r.Text(0, 32);
    entry.Number = r.Text(32, 32);
    entry.SoundFile = r.Text(64, 260);
    entry.ActionFlags = r.U32(324);
    entry.KeyType = r.U8(328);
    entry.RealName = r.Text(329, 32);
    entry.TimesCalled = r.I32(364);
    entry.PersonalGreeting = r.Text(376, 260);
    return entry;
}

QString DigitsOnly(const QString& text) {
    QString digits;
    for (const QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits += c;
    return digits;
}

namespace {
// Leading blanks off, then trailing characters whose code as a signed byte is 32 or less
// (codes 128-255 included).
QStringView TrimmedView(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && text[start] == QLatin1Char(' '))
        ++start;
    qsizetype end = text.size();
    while (end > start && (text[end - 1].unicode() <= 32 || text[end - 1].unicode() >= 128))
        --end;
    return QStringView(text).mid(start, end - start);
}
}  // namespace

QString TrimName(const QString& text) {
    return TrimmedView(text).toString();
}

QString FileNamePart(const QString& path) {
    const qsizetype cut =
        qMax(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return path.mid(cut + 1);
}

QString ActionText(const PhoneBookEntry& entry) {
    QString text;
    if (entry.ActionFlags & ActionHangUp) {
        if (entry.ActionFlags & ActionDisconnectedTone)
            text += QStringLiteral("play disconnected tone ");
        else if (!FileNamePart(entry.PersonalGreeting).isEmpty())
            text += QStringLiteral("play greeting ");
        if (!text.isEmpty()) text += QStringLiteral("& ");
        text += QStringLiteral("hang up ");
    }
    if (entry.ActionFlags & ActionPageMe) {
        if (!text.isEmpty()) text += QStringLiteral("& ");
        text += QStringLiteral("page me ");
    }
    return text;
}

QString FormatCount(qint64 n) {
    const QString digits = QString::number(quint32(n));
    QString text;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += QLatin1Char(',');
        text += digits[i];
    }
    return text;
}

QString TPhoneBook::FileName() {
    return TProfile::Path(QStringLiteral("Ringvale Phonebook.pb12"));
}

bool PhoneBookEntry::Plausible(const QByteArray& bytes) {
    return FieldTerminated(bytes, 0, 32) && FieldTerminated(bytes, 32, 32) &&
           FieldTerminated(bytes, 64, 260) && FieldTerminated(bytes, 329, 32) &&
           FieldTerminated(bytes, 376, 260);
}

int TPhoneBook::LoadPhoneBook() {
    Entries.clear();
    const TDataFileLoad load =
        LoadDataFile(FileName(), PhoneBookEntry::kSize, kMaxEntries, &PhoneBookEntry::Plausible);
    m_writable = load.Writable;
    for (const QByteArray& bytes : load.Records)
        Entries.push_back(std::make_unique<PhoneBookEntry>(PhoneBookEntry::FromBytes(bytes)));
    return int(Entries.size());
}

bool TPhoneBook::SavePhoneBook() {
    if (!m_writable) {
        qWarning().noquote() << "The phone book was not written: the file that is there could "
                                "not be read";
        return false;
    }
    QByteArray contents;
    contents.reserve(qsizetype(Entries.size()) * PhoneBookEntry::kSize);
    for (const auto& entry : Entries)
        contents += entry->ToBytes();
    QString reason;
    if (RewriteFile(FileName(), contents, &reason)) return true;
    ShowManagedMessage(MSG_CANT_OPEN_PHONE_BOOK,
                       FormatText(StringTableText(MSG_CANT_OPEN_PHONE_BOOK), {FileName(), reason}));
    return false;
}

PhoneBookEntry* TPhoneBook::Add(const PhoneBookEntry& entry) {
    Entries.push_back(std::make_unique<PhoneBookEntry>(entry));
    return Entries.back().get();
}

void TPhoneBook::Remove(const PhoneBookEntry* entry) {
    std::erase_if(Entries, [entry](const auto& owned) { return owned.get() == entry; });
}

bool TPhoneBook::Reorder(const std::vector<const PhoneBookEntry*>& order) {
    if (order.size() != Entries.size()) return false;
    std::unordered_map<const PhoneBookEntry*, size_t> index;
    for (size_t i = 0; i < Entries.size(); ++i)
        index[Entries[i].get()] = i;
    std::vector<bool> used(Entries.size(), false);
    for (const PhoneBookEntry* wanted : order) {
        const auto it = index.find(wanted);
        if (it == index.end() || used[it->second]) return false;  // not ours, or twice
        used[it->second] = true;
    }
    std::vector<std::unique_ptr<PhoneBookEntry>> sorted;
    sorted.reserve(Entries.size());
    for (const PhoneBookEntry* wanted : order)
        sorted.push_back(std::move(Entries[index[wanted]]));
    Entries = std::move(sorted);
    return true;
}

bool TPhoneBook::IsPhoneBookFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() % PhoneBookEntry::kSize != 0 ||
        file.size() > kMaxEntries * PhoneBookEntry::kSize)
        return false;
    const QByteArray bytes = file.readAll();
    for (qsizetype at = 0; at < bytes.size(); at += PhoneBookEntry::kSize)
        if (!PhoneBookEntry::Plausible(bytes.mid(at, PhoneBookEntry::kSize))) return false;
    return true;
}

namespace {
// The lookups compare without building the digit and trimmed forms of every entry: the
// history refresh looks up every row in the whole phone book.
bool IsPatternCharacter(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('?') ||
           c == QLatin1Char('*');
}

// The digits and wildcards of a number: two entries with the same one match the same callers.
QString PatternText(const QString& number) {
    if (const QString category = CallerCategory(number); !category.isEmpty()) return category;
    QString kept;
    for (const QChar c : number)
        if (IsPatternCharacter(c)) kept += c;
    return kept;
}

bool DigitsMatch(const QString& text, const QString& digits) {
    qsizetype k = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) continue;
        if (k >= digits.size() || digits[k] != c) return false;
        ++k;
    }
    return k == digits.size();
}

}  // namespace

bool IsNumberPattern(const QString& number) {
    return number.contains(QLatin1Char('*')) || number.contains(QLatin1Char('?')) ||
           !CallerCategory(number).isEmpty();
}

namespace {
const char* const kCategories[] = {"Private", "Out of area", "No caller ID"};
// What caller ID gives for each: the name, with a number of zeros (or none).
const char* const kCategoryNames[] = {"Private", "Out Of Area", "Unknown"};
constexpr int kCategoryLength = 100;  // a category is more precise than any pattern
}  // namespace

QString CallerCategory(const QString& number) {
    const QString text = number.trimmed();
    for (const char* category : kCategories)
        if (text.compare(QLatin1String(category), Qt::CaseInsensitive) == 0)
            return QLatin1String(category);
    return QString();
}

QStringList CallerCategories() {
    QStringList names;
    for (const char* category : kCategories)
        names << QLatin1String(category);
    return names;
}

QString CategoryOfCaller(const QString& number, const QString& name) {
    const QString digits = DigitsOnly(number);
    if (digits.count(QLatin1Char('0')) != digits.size()) return QString();  // a real number
    const QString trimmed = TrimName(name);
    for (int i = 0; i < 3; ++i)
        if (trimmed == QLatin1String(kCategoryNames[i])) return QLatin1String(kCategories[i]);
    return QString();
}

int PatternLength(const QString& pattern) {
    if (!CallerCategory(pattern).isEmpty()) return kCategoryLength;
    int length = 0;
    for (const QChar c : pattern)
        if (c.isDigit() || c == QLatin1Char('?')) ++length;
    return length;
}

// A glob over digits: '?' takes one digit, '*' any run of them; the last '*' seen is
// widened one digit at a time when the rest fails.
bool PatternMatches(const QString& pattern, QStringView digits) {
    QVarLengthArray<QChar, 32> kept;  // on the stack for any number a field can hold
    for (const QChar c : pattern)
        if (IsPatternCharacter(c)) kept.append(c);
    qsizetype p = 0, d = 0, star = -1, resume = 0;
    while (d < digits.size()) {
        if (p < kept.size() && (kept[p] == QLatin1Char('?') || kept[p] == digits[d])) {
            ++p;
            ++d;
        } else if (p < kept.size() && kept[p] == QLatin1Char('*')) {
            star = p++;
            resume = d;
        } else if (star >= 0) {
            p = star + 1;
            d = ++resume;
        } else {
            return false;
        }
    }
    while (p < kept.size() && kept[p] == QLatin1Char('*'))
        ++p;
    return p == kept.size();
}

QString NumberMeaning(const QString& number) {
    const QString category = CallerCategory(number);
    if (category == QLatin1String(kCategories[0]))
        return QStringLiteral("Callers who withhold their number.");
    if (category == QLatin1String(kCategories[1]))
        return QStringLiteral("Callers whose caller ID says they are out of the area.");
    if (category == QLatin1String(kCategories[2]))
        return QStringLiteral("Callers with no caller ID at all.");
    if (!IsNumberPattern(number))
        return DigitsOnly(number).isEmpty() ? QStringLiteral("Callers whose number has no digits.")
                                            : QStringLiteral(
                                                  "Calls from this number. A pattern "
                                                  "matches many: 800*, 404555????");
    const QString kept = PatternText(number);
    const qsizetype star = kept.indexOf(QLatin1Char('*'));
    if (kept == QLatin1String("*")) return QStringLiteral("Every caller.");
    if (star == kept.size() - 1 && !kept.contains(QLatin1Char('?')))
        return QStringLiteral("Every number that begins with %1.").arg(kept.chopped(1));
    if (star < 0)
        return QStringLiteral("Every number of %1 digits that fits %2 (? is any digit).")
            .arg(kept.size())
            .arg(kept);
    return QStringLiteral("Every number that fits %1 (? is any digit, * any digits).").arg(kept);
}

PhoneBookEntry* TPhoneBook::FindCaller(const QString& number, const QString& name) const {
    const QString trimmed = TrimName(name);
    if (PhoneBookEntry* byNumber = FindByNumber(number, CategoryOfCaller(number, name)))
        return byNumber;
    for (const auto& entry : Entries)
        if (entry->KeyType == KeyName && TrimmedView(entry->RealName) == trimmed)
            return entry.get();
    return nullptr;
}

// One walk: 10,000 entries, a tenth of them patterns, are decided well within a millisecond.
PhoneBookEntry* TPhoneBook::FindCallerByNumber(const QString& number) const {
    return FindByNumber(number, QString());
}

PhoneBookEntry* TPhoneBook::FindByNumber(const QString& number, const QString& category) const {
    const QString digits = DigitsOnly(number);
    PhoneBookEntry* bestPattern = nullptr;
    int bestLength = -1;
    for (const auto& entry : Entries) {
        if (entry->KeyType != KeyNumber) continue;
        if (!IsNumberPattern(entry->Number)) {
            if (DigitsMatch(entry->Number, digits)) return entry.get();
            continue;
        }
        const int length = PatternLength(entry->Number);
        const bool matches = length == kCategoryLength
                                 ? !category.isEmpty() && CallerCategory(entry->Number) == category
                                 : PatternMatches(entry->Number, digits);
        if (length > bestLength && matches) {
            bestPattern = entry.get();
            bestLength = length;
        }
    }
    return bestPattern;
}

bool TPhoneBook::CallerDisplayName(const QString& number, const QString& name, QString* out) const {
    const PhoneBookEntry* entry = FindCaller(number, name);
    *out = entry ? entry->DisplayName : name;
    return entry != nullptr;
}

QList<TPhoneBook::DuplicatePair> TPhoneBook::CheckDuplicateEntries() const {
    QList<DuplicatePair> pairs;
    const QString text = StringTableText(MSG_DUPLICATE_ENTRIES);
    for (size_t j = 0; j < Entries.size(); ++j) {
        for (size_t k = j + 1; k < Entries.size(); ++k) {
            const PhoneBookEntry& a = *Entries[j];
            const PhoneBookEntry& b = *Entries[k];
            if (a.KeyType != b.KeyType) continue;
            const bool byNumber = a.KeyType == KeyNumber;
            if (byNumber ? PatternText(a.Number) != PatternText(b.Number)
                         : a.DisplayName != b.DisplayName)
                continue;
            const QString keyA = byNumber ? a.Number : a.DisplayName;
            const QString keyB = byNumber ? b.Number : b.DisplayName;
            pairs.append(
                {int(j), int(k), FormatText(text, {a.DisplayName, keyA, b.DisplayName, keyB})});
        }
    }
    return pairs;
}

QStringList TPhoneBook::RowTexts(const PhoneBookEntry& entry) {
    return {entry.RealName,
            entry.DisplayName,
            entry.Number,
            FileNamePart(entry.PersonalGreeting),
            ActionText(entry),
            FormatCount(entry.TimesCalled),
            FileNamePart(entry.SoundFile)};
}

QString TPhoneBook::SuggestedBackupName(const QString& shortDate) {
    QString name =
        QStringLiteral("Ringvale Phonebook Backup ") + shortDate + QStringLiteral(".pbb");
    return name.replace(QLatin1Char('/'), QLatin1Char('-'));
}

bool TPhoneBook::BackupPhoneBook(TConfig& config, const QString& shortDate) {
    TFileDialogRequest request;
    request.Title = QStringLiteral("Save Phonebook");
    request.Filter = QStringLiteral("Ringvale Phonebook (*.pbb)|*.pbb");
    request.DefaultExt = QStringLiteral("pbb");
    request.InitialFolder = RegistrySetting(QStringLiteral("LastPhoneBkDir"), QString(), false);
    request.FileName = SuggestedBackupName(shortDate);
    request.ConfirmOverwrite = true;
    const QString target = Prompts().SaveFileName(request);
    if (target.isEmpty()) return false;
    TFile file;
    const bool ok = file.Copy(FileName(), target);
    if (ok) config.LastBackupTime = qint32(TClock::Now());
    const QString text =
        ok ? FormatText(StringTableText(MSG_BACKUP_SAVED), {target})
           : FormatText(QStringLiteral("There was an error saving the backup to\r\"%s\""),
                        {target});
    RegistrySetting(QStringLiteral("LastPhoneBkDir"),
                    target.left(qMax<qsizetype>(target.lastIndexOf(QLatin1Char('/')), 0)), true);
    ShowManagedMessage(MSG_BACKUP_SAVED, text);
    return ok;
}

bool TPhoneBook::RestorePhoneBook() {
    TFileDialogRequest request;
    request.Title = QStringLiteral("Restore Phonebook");
    request.Filter = QStringLiteral("Ringvale Backup Phonebook (*.pbb)|*.pbb");
    request.DefaultExt = QStringLiteral("pbb");
    request.FileMustExist = true;
    const QString source = Prompts().OpenFileName(request);
    if (source.isEmpty()) return false;
    // Any other file would be read as entries of garbage over the phone book in use.
    if (QFileInfo(source).isFile() && !IsPhoneBookFile(source)) {
        Prompts().MessageBox(FormatText(QStringLiteral("\"%s\" is not a phone book.\rYour phone "
                                                       "book has not been changed."),
                                        {source}),
                             QString(), prompt::MB_OK);
        return false;
    }
    QFile backup(source);
    const bool ok = backup.open(QIODevice::ReadOnly) && RewriteFile(FileName(), backup.readAll());
    if (ok) LoadPhoneBook();
    Prompts().MessageBox(ok ? QStringLiteral("The backup database has been restored")
                            : QStringLiteral("There was an error restoring the database"),
                         QString(), prompt::MB_OK);
    return ok;
}

QString TPhoneBook::LastBackupText(qint32 lastBackupTime) {
    if (lastBackupTime == 0) return QStringLiteral("You have not backed up your database");
    // The C library's ctime text up to the hour: "Www Mmm dd " (day padded with a blank).
    const QDateTime local = QDateTime::fromSecsSinceEpoch(lastBackupTime).toLocalTime();
    const QString head = QLocale::c().toString(local, QStringLiteral("ddd MMM "));
    const QString day = QString::number(local.date().day()).rightJustified(2, QLatin1Char(' '));
    const int hour = local.time().hour();
    const QString clock =
        QString::number(hour % 12 == 0 ? 12 : hour % 12).rightJustified(2, QLatin1Char('0')) +
        QLatin1Char(':') +
        QString::number(local.time().minute()).rightJustified(2, QLatin1Char('0'));
    return QStringLiteral("Last backup: ") + head + day + QStringLiteral("  @ ") + clock +
           (hour < 12 ? QStringLiteral(" AM") : QStringLiteral(" PM"));
}
