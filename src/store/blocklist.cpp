#include "store/blocklist.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include "store/phonebook.h"

namespace {
constexpr int kMaxNumber = 31;  // what the entry's field holds

bool IsNumberField(QStringView field) {
    if (field.isEmpty() || field.size() > kMaxNumber) return false;
    int digits = 0;
    for (const QChar c : field) {
        if (c.isDigit() && c.unicode() < 128)
            ++digits;
        else if (!QStringLiteral(" +()-.").contains(c))
            return false;
    }
    return digits >= 3;
}

QList<QStringList> Rows(const QByteArray& text) {
    static const QRegularExpression separators(QStringLiteral("[,;\t]"));
    QList<QStringList> rows;
    for (const QByteArray& line : text.split('\n')) {
        QStringList fields = QString::fromLatin1(line).split(separators);
        for (QString& field : fields) {
            field = field.trimmed();
            if (field.size() >= 2 && field.startsWith(QLatin1Char('"')) &&
                field.endsWith(QLatin1Char('"')))
                field = field.mid(1, field.size() - 2).trimmed();
        }
        rows << fields;
    }
    return rows;
}

QString NameFor(const QString& path) {
    return QFileInfo(path).completeBaseName().left(kMaxNumber);
}
}  // namespace

QStringList TBlockList::Numbers(const QByteArray& text) {
    const QList<QStringList> rows = Rows(text);
    QList<int> counts;
    for (const QStringList& row : rows)
        for (qsizetype column = 0; column < row.size(); ++column) {
            if (counts.size() <= column) counts.resize(column + 1);
            if (IsNumberField(row[column])) ++counts[column];
        }
    qsizetype best = -1;
    for (qsizetype column = 0; column < counts.size(); ++column)
        if (counts[column] > 0 && (best < 0 || counts[column] > counts[best])) best = column;
    QStringList numbers;
    if (best < 0) return numbers;
    for (const QStringList& row : rows)
        if (row.size() > best && IsNumberField(row[best])) numbers << row[best];
    return numbers;
}

TBlockList::TResult TBlockList::Import(TPhoneBook& phoneBook, const QString& path) {
    TResult result;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        result.Error = QStringLiteral("\"%1\" cannot be read.").arg(path);
        return result;
    }
    if (file.size() > kMaxFile) {
        result.Error = QStringLiteral("\"%1\" is too large for a list of numbers.").arg(path);
        return result;
    }
    const QStringList numbers = Numbers(file.readAll());
    if (numbers.isEmpty()) {
        result.Error = QStringLiteral(
                           "\"%1\" holds no phone numbers.\rYour phone book has not "
                           "been changed.")
                           .arg(path);
        return result;
    }
    QSet<QString> known;
    for (const auto& entry : phoneBook.Entries)
        if (entry->KeyType == KeyNumber && !IsNumberPattern(entry->Number))
            known.insert(DigitsOnly(entry->Number));
    PhoneBookEntry entry;
    entry.DisplayName = NameFor(path);
    entry.ActionFlags = ActionHangUp;
    entry.KeyType = KeyNumber;
    for (const QString& number : numbers) {
        const QString digits = DigitsOnly(number);
        if (known.contains(digits) || qint64(phoneBook.Entries.size()) >= TPhoneBook::kMaxEntries) {
            ++result.Skipped;
            continue;
        }
        known.insert(digits);
        entry.Number = number;
        phoneBook.Add(entry);
        ++result.Added;
    }
    return result;
}

QString TBlockList::ResultText(const TResult& result) {
    return QStringLiteral(
               "%1 number(s) were added to the phone book as callers to hang up on.\r"
               "%2 were skipped: already in the phone book, listed twice, or beyond "
               "the phone book's 100,000 entries.")
        .arg(result.Added)
        .arg(result.Skipped);
}
