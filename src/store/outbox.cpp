#include "store/outbox.h"

#include <QDir>
#include <QFile>

#include "platform/atomicfile.h"
#include "platform/profile.h"

namespace {

const QString kSuffix = QStringLiteral(".eml");

// Only names this outbox writes count: a stray file or a half-written temporary is no mail.
bool IsMailName(const QString& name) {
    return name.endsWith(kSuffix) && !name.contains(QLatin1Char('/')) &&
           !name.startsWith(QLatin1Char('.'));
}

}  // namespace

QString TOutbox::Folder() {
    return TProfile::Path(QStringLiteral("Outbox"));
}

QString TOutbox::Add(const QByteArray& mail, qint64 now, QString* error) {
    QString reason;
    if (!TProfile::Prepare(Folder(), &reason)) {
        if (error) *error = QStringLiteral("The folder Outbox: ") + reason;
        return QString();
    }
    RemoveStaleTemporaries(Folder());
    const QDir folder(Folder());
    // Seconds since 1970, then a count that keeps mails written in one second apart and in order.
    for (int count = 0; count < 10000; ++count) {
        const QString name = QStringLiteral("%1-%2")
                                 .arg(now, 12, 10, QLatin1Char('0'))
                                 .arg(count, 4, 10, QLatin1Char('0')) +
                             kSuffix;
        if (folder.exists(name)) continue;
        return RewriteFile(folder.filePath(name), mail, error) ? name : QString();
    }
    if (error) *error = QStringLiteral("Too many mails in one second");
    return QString();
}

QStringList TOutbox::Names() const {
    QStringList names;
    for (const QString& name :
         QDir(Folder()).entryList({QStringLiteral("*") + kSuffix}, QDir::Files, QDir::Name))
        if (IsMailName(name)) names << name;
    return names;
}

QByteArray TOutbox::Read(const QString& name) const {
    if (!IsMailName(name)) return QByteArray();
    QFile file(QDir(Folder()).filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TOutbox::Remove(const QString& name) {
    return IsMailName(name) && QFile::remove(QDir(Folder()).filePath(name));
}
