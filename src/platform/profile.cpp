#include "platform/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString g_folder;
}  // namespace

QString TProfile::Folder() {
    if (g_folder.isEmpty()) g_folder = QDir::currentPath();
    return g_folder;
}

void TProfile::SetFolder(const QString& folder) {
    g_folder = QDir(folder).absolutePath();
}

QString TProfile::Path(const QString& name) {
    return Folder() + QLatin1Char('/') + name;
}

QString TProfile::DefaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Ringvale");
}

bool TProfile::Prepare(const QString& folder, QString* error) {
    const QFileInfo info(folder);
    if (info.isDir()) return true;
    if (info.exists()) {
        *error = QStringLiteral("it is not a folder");
        return false;
    }
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("it cannot be created");
        return false;
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
}
