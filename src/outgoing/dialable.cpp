#include "outgoing/dialable.h"

#include "store/config.h"

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

QString DialableNumber(const QString& number, const TConfig& config, bool* isLocal) {
    *isLocal = false;
    qsizetype at = 0;
    while (at < number.size() && IsBlankish(number[at]))
        ++at;
    if (at == number.size()) return {};
    if (number[at] == QLatin1Char('1')) {  // dialled as written
        *isLocal = true;
        return number.mid(at);
    }
    QString areaCode;
    while (at < number.size() && areaCode.size() < 3 && number[at] != QLatin1Char(' '))
        areaCode += number[at++];
    while (at < number.size() && (number[at] == QLatin1Char(' ') || number[at] == QLatin1Char('-')))
        ++at;
    const QString rest = number.mid(at).remove(QLatin1Char(' ')).left(kMaxRest);

    for (const QString& code : LocalAreaCodeTable(config.LocalAreaCodes)) {
        if (code.size() < 4 && code.compare(areaCode, Qt::CaseInsensitive) == 0) {
            *isLocal = true;
            return config.TenDigitDialing() ? areaCode + QLatin1Char('-') + rest : rest;
        }
    }
    const QString longDistance = QStringLiteral("1 ") + areaCode + QLatin1Char(' ') + rest;
    if (areaCode == QLatin1String("888") || areaCode == QLatin1String("800") ||
        config.LongDistancePrefix.isEmpty())
        return longDistance;
    return config.LongDistancePrefix + QStringLiteral(", ") + longDistance;
}
