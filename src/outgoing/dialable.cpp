#include "outgoing/dialable.h"

#include "store/config.h"
#include "store/phonebook.h"

namespace {
constexpr int kMaxCodes = 10;
constexpr int kSettingWindow = 80;
constexpr int kMaxRest = 32;

// Read as a signed byte, a character above 127 counts as 32 or less too.
bool IsBlankish(QChar c) {
    return c.unicode() <= 32 || c.unicode() >= 128;
}
}  // namespace

QStringList LocalAreaCodeTable(const QString& setting) {
    QStringList codes;
    QString current;
    auto close = [&] {
        if (!current.isEmpty() && codes.size() < kMaxCodes) codes << current;
        current.clear();
    };
    for (qsizetype i = 0; i < setting.size(); ++i) {
        const QChar c = setting[i];
        if (c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char('&') ||
            c == QLatin1Char(' ') || c == QLatin1Char('\r')) {
            close();
        } else if (c.unicode() > 32 && current.size() < 4 && i < kSettingWindow) {
            current += c;
        }
    }
    close();
    return codes;
}

namespace {
// The area code is the number's first three digits, however they were written: "(404) 555-1212"
// and "404.555.1212" are as local as "404-555-1212". A number that starts with neither a digit
// nor a bracket keeps its first three characters. Sets *rest to what follows, blanks removed.
QString SplitAreaCode(const QString& number, qsizetype at, QString* rest) {
    const bool digits = number[at].isDigit() || number[at] == QLatin1Char('(');
    QString areaCode;
    for (; at < number.size() && areaCode.size() < 3; ++at) {
        const QChar c = number[at];
        if (!digits && c == QLatin1Char(' ')) break;
        if (!digits || c.isDigit()) areaCode += c;
    }
    const QString separators = digits ? QStringLiteral(" -).") : QStringLiteral(" -");
    while (at < number.size() && separators.contains(number[at]))
        ++at;
    *rest = number.mid(at).remove(QLatin1Char(' ')).left(kMaxRest);
    return areaCode;
}

// A carrier's access code; "1" alone is the long distance digit itself, which is dialled anyway.
QString CarrierCode(const TConfig& config) {
    const QString prefix = config.LongDistancePrefix.trimmed();
    return prefix == QLatin1String("1") ? QString() : prefix;
}
}  // namespace

QString DialableNumber(const QString& number, const TConfig& config, bool* isLocal) {
    constexpr int kNorthAmericanDigits = 10;
    *isLocal = false;
    qsizetype at = 0;
    while (at < number.size() && IsBlankish(number[at]))
        ++at;
    if (at == number.size()) return {};
    // Dialled as written: a number that starts with the long distance digit, and an
    // international number (more digits than a North American one holds).
    if (number[at] == QLatin1Char('1') || DigitsOnly(number).size() > kNorthAmericanDigits) {
        *isLocal = true;
        return number.mid(at);
    }
    QString rest;
    const QString areaCode = SplitAreaCode(number, at, &rest);
    for (const QString& code : LocalAreaCodeTable(config.LocalAreaCodes)) {
        if (code.size() < 4 && code.compare(areaCode, Qt::CaseInsensitive) == 0) {
            *isLocal = true;
            return config.TenDigitDialing() ? areaCode + QLatin1Char('-') + rest : rest;
        }
    }
    const QString longDistance = QStringLiteral("1 ") + areaCode + QLatin1Char(' ') + rest;
    const QString carrier = CarrierCode(config);
    if (areaCode == QLatin1String("888") || areaCode == QLatin1String("800") || carrier.isEmpty())
        return longDistance;
    return carrier + QStringLiteral(", ") + longDistance;
}
