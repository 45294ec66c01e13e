#include "platform/tshell.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

namespace {
TDesktopOpener g_desktop;
TOpener* g_opener = nullptr;

bool IsAddress(const QString& target) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(target).hasMatch();
}
}  // namespace

TOpener& Opener() {
    return g_opener ? *g_opener : g_desktop;
}

void SetOpener(TOpener* opener) {
    g_opener = opener;
}

int TDesktopOpener::Open(const QString& target) {
    if (target.isEmpty()) return TShell::SE_ERR_FNF;
    if (!IsAddress(target)) return OpenLocal(target);
    return Launch(QStringLiteral("xdg-open"), {target}, QString());
}

int TDesktopOpener::OpenLocal(const QString& path) {
    const QFileInfo file(path);
    if (!file.absoluteDir().exists()) return TShell::SE_ERR_PNF;
    if (!file.exists()) return TShell::SE_ERR_FNF;
    if (file.isFile() && file.isExecutable())
        return Launch(file.absoluteFilePath(), {}, file.absolutePath());
    if (!file.isDir() && !HasHandler(file.absoluteFilePath())) return TShell::SE_ERR_NOASSOC;
    return Launch(QStringLiteral("xdg-open"), {file.absoluteFilePath()}, QString());
}

// Asks the desktop's MIME associations whether any program opens this kind of file. The
// query is short and runs only on the user's own request.
bool TDesktopOpener::HasHandler(const QString& path) {
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty()) return false;
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(500);
        return false;
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
}

int TDesktopOpener::Launch(const QString& program, const QStringList& arguments,
                           const QString& folder) {
    const bool isPath = program.contains(QLatin1Char('/'));
    if (!isPath && QStandardPaths::findExecutable(program).isEmpty()) return TShell::SE_ERR_NOASSOC;
    if (QProcess::startDetached(program, arguments, folder)) return TShell::SE_OK;
    return isPath ? TShell::SE_ERR_BAD_FORMAT : TShell::SE_ERR_NOASSOC;
}

bool TShell::Run(const QString& file) {
    const int result = Opener().Open(file);
    if (result > 32) return true;
    ErrorText = FailureText(result);
    return false;
}

bool TShell::OpenWebPage(const QString& address) {
    return Run(QStringLiteral("http://") + address);
}

bool TShell::SendMail(const QString& address, const QString& subject) {
    // The subject is percent-encoded so that blanks and '&' stay part of it.
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(subject));
    return Run(QStringLiteral("mailto:") + address + QStringLiteral("?Subject=") + encoded);
}

QString TShell::FailureText(int code) {
    switch (code) {
        case SE_ERR_OOM:
            return QStringLiteral("The system is out of memory or resources.");
        case SE_ERR_FNF:
            return QStringLiteral("The file was not found.");
        case SE_ERR_PNF:
            return QStringLiteral("The specified path was not found.");
        case SE_ERR_BAD_FORMAT:
            return QStringLiteral(
                "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).");
        case SE_ERR_SHARE:
            return QStringLiteral("A sharing violation occurred.");
        case SE_ERR_ASSOCINCOMPLETE:
            return QStringLiteral("The filename association is incomplete or invalid.");
        case SE_ERR_DDETIMEOUT:
            return QStringLiteral(
                "The DDE transaction could not be completed because the request timed out.");
        case SE_ERR_DDEFAIL:
            return QStringLiteral("The DDE transaction failed.");
        case SE_ERR_DDEBUSY:
            return QStringLiteral(
                "The DDE transaction could not be completed because other DDE transactions were "
                "being processed.");
        case SE_ERR_NOASSOC:
            return QStringLiteral(
                "There is no application associated with the given filename extension.");
        default:
            return QStringLiteral("Unknown");
    }
}
