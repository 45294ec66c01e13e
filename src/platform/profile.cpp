#include "platform/profile.h"

#include <QDir>

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
