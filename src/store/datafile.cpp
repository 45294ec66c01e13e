#include "store/datafile.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <cstring>

#include "platform/records.h"

Q_LOGGING_CATEGORY(lcData, "ringvale.data", QtInfoMsg)

namespace {
QStringList& Notices() {
    static QStringList notices;
    return notices;
}

QString Quoted(const QString& path) {
    return QLatin1Char('"') + QFileInfo(path).fileName() + QLatin1Char('"');
}

QString KeptText(const QString& aside, const QString& fresh) {
    if (aside.isEmpty())
        return QStringLiteral("It was left as it is and will not be written until it can be read.");
    return QStringLiteral("It was kept as ") + Quoted(aside) + fresh;
}
}  // namespace

bool FieldTerminated(const QByteArray& record, int offset, int width) {
    return offset >= 0 && offset + width <= record.size() &&
           std::memchr(record.constData() + offset, '\0', size_t(width)) != nullptr;
}

void AddDataNotice(const QString& text) {
    qCWarning(lcData).noquote() << QString(text).replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (!Notices().contains(text)) Notices() << text;
}

QStringList TakeDataNotices() {
    return std::exchange(Notices(), {});
}

TDataFileLoad LoadDataFile(const QString& path, int size, qint64 maxRecords,
                           const std::function<bool(const QByteArray&)>& valid) {
    TDataFileLoad load;
    TRecordsRead read = ReadRecords(path, size, maxRecords);
    if (read.State == TReadState::Unreadable) {
        load.Whole = false;
        const QString aside = KeepAside(path, false);
        load.Writable = !aside.isEmpty();
        AddDataNotice(Quoted(path) + QStringLiteral(" could not be read (") + read.Reason +
                      QStringLiteral(").\r") +
                      KeptText(aside, QStringLiteral(" and a new one was started.")));
        return load;
    }
    load.FirstOffset = read.FirstOffset;
    load.Whole = read.State != TReadState::PartialTail;
    int damaged = 0;
    qint64 offset = read.FirstOffset;
    for (const QByteArray& record : std::as_const(read.Records)) {
        if (valid(record)) {
            load.Records << record;
            load.Offsets << offset;
        } else {
            ++damaged;
        }
        offset += size;
    }
    if (damaged) {
        load.Whole = false;
        const QString aside = KeepAside(path, true);
        load.Writable = !aside.isEmpty();
        AddDataNotice(Quoted(path) + QStringLiteral(" holds ") + QString::number(damaged) +
                      (damaged == 1 ? QStringLiteral(" damaged record, which was skipped.\r")
                                    : QStringLiteral(" damaged records, which were skipped.\r")) +
                      KeptText(aside, QStringLiteral(" as it was.")));
    }
    return load;
}
