#include "platform/atomicfile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>

namespace {
QString SystemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Makes a rename durable by flushing the folder that holds the file.
void SyncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}
}  // namespace

// A data file the user keeps as a link into a sub-folder stays a link: the file it points to
// is rewritten, in its own folder. A link that leads out of the folder holding it is never
// written through: the link itself is replaced, and the file elsewhere is left as it was.
QString LinkTarget(const QString& path) {
    const QFileInfo link(path);
    if (!link.isSymLink()) return path;
    const QString folder = link.absoluteDir().canonicalPath();
    QString current = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink()) break;
        const QString target = info.symLinkTarget();
        if (target.isEmpty()) return path;
        current = target;
    }
    const QFileInfo final(current);
    const QString where = final.absoluteDir().canonicalPath();
    if (final.isSymLink() || where.isEmpty() || folder.isEmpty()) return path;  // a loop
    return where == folder || where.startsWith(folder + QLatin1Char('/')) ? current : path;
}

bool LeadsOutside(const QString& path) {
    return QFileInfo(path).isSymLink() && LinkTarget(path) == path;
}

TAtomicFile::TAtomicFile(const QString& path) : m_path(LinkTarget(path)) {}

TAtomicFile::~TAtomicFile() {
    Discard();
}

bool TAtomicFile::Fail(const QString& reason) {
    ErrorText = reason;
    Discard();
    return false;
}

bool TAtomicFile::Open() {
    Discard();
    if (m_path.isEmpty() || m_path.size() >= TFile::kMaxName - 8)
        return Fail(SystemText(m_path.isEmpty() ? ENOENT : ENAMETOOLONG));
    QByteArray pattern = QFile::encodeName(m_path + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);  // created 0600
    if (fd < 0) return Fail(SystemText(errno));
    m_temp = QFile::decodeName(pattern);
    m_file.Attach(fd, m_temp);
    return true;
}

bool TAtomicFile::Write(const void* data, qint64 count) {
    if (!m_file.IsOpen()) return Fail(SystemText(EBADF));
    if (m_file.Write(data, count) == count) return true;
    return Fail(m_file.ErrorText);
}

bool TAtomicFile::Commit() {
    if (!m_file.IsOpen()) return Fail(SystemText(EBADF));
    if (!m_file.Flush()) return Fail(m_file.ErrorText);
    m_file.Close();
    if (::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_path).constData()) != 0)
        return Fail(SystemText(errno));
    m_temp.clear();
    SyncFolder(QFileInfo(m_path).absolutePath());
    return true;
}

void TAtomicFile::Discard() {
    m_file.Close();
    if (!m_temp.isEmpty()) ::unlink(QFile::encodeName(m_temp).constData());
    m_temp.clear();
}

bool RewriteFile(const QString& path, const QByteArray& contents, QString* error) {
    TAtomicFile file(path);
    const bool ok = file.Open() && file.Write(contents) && file.Commit();
    if (!ok && error) *error = file.ErrorText;
    return ok;
}

int RemoveStaleTemporaries(const QString& folder) {
    static const QRegularExpression kTemporary(QStringLiteral("^(.+)\\.[A-Za-z0-9]{6}$"));
    const QDir dir(folder);
    int removed = 0;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        const QRegularExpressionMatch match = kTemporary.match(info.fileName());
        if (!match.hasMatch()) continue;
        const QString original = match.captured(1);
        const bool ours =
            dir.exists(original) || original.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive);
        const QFile::Permissions privateFile = QFile::ReadOwner | QFile::WriteOwner;
        if (ours &&
            (info.permissions() & ~(privateFile | QFile::ReadUser | QFile::WriteUser)) == 0 &&
            QFile::remove(info.filePath()))
            ++removed;
    }
    return removed;
}
