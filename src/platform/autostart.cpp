#include "platform/autostart.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "platform/atomicfile.h"
#include "platform/profile.h"

namespace {
// An argument of an Exec line: quoted, with the characters the format reserves escaped.
QString ExecArgument(const QString& text) {
    QString quoted;
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    // A literal '%' is "%%"; a backslash in the file is itself escaped once more.
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
}  // namespace

QString TAutostart::EntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/org.ringvale.Ringvale.desktop");
}

bool TAutostart::IsEnabled() {
    return QFile::exists(EntryPath());
}

QString TAutostart::EntryText(const QString& program, const QString& folder) {
    QString exec = ExecArgument(program) + QStringLiteral(" --minimized");
    if (QDir(folder).absolutePath() != QDir(TProfile::DefaultFolder()).absolutePath())
        exec += QStringLiteral(" --folder ") + ExecArgument(QDir(folder).absolutePath());
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Ringvale\n"
               "Comment=Caller ID, call log and answering machine\n"
               "Exec=%1\n"
               "Icon=org.ringvale.Ringvale\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n")
        .arg(exec);
}

bool TAutostart::SetEnabled(bool on, const QString& program, const QString& folder,
                            QString* error) {
    const QString path = EntryPath();
    if (!on) {
        if (!QFile::exists(path) || QFile::remove(path)) return true;
        if (error) *error = QStringLiteral("cannot remove ") + path;
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error) *error = QStringLiteral("cannot make the folder of ") + path;
        return false;
    }
    return RewriteFile(path, EntryText(program, folder).toUtf8(), error);
}
