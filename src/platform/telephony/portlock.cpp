#include "platform/telephony/portlock.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace {
QString g_folder;
}  // namespace

QString TPortLock::Folder() {
    if (!g_folder.isEmpty()) return g_folder;
    for (const char* candidate : {"/var/lock", "/run/lock"})
        if (::access(candidate, W_OK) == 0) return QString::fromLatin1(candidate);
    return QStringLiteral("/var/lock");
}

void TPortLock::SetFolder(const QString& folder) {
    g_folder = folder;
}

TPortLock::TPortLock(const QString& devicePath) {
    const QString resolved = QFileInfo(devicePath).canonicalFilePath();
    const QString name = QFileInfo(resolved.isEmpty() ? devicePath : resolved).fileName();
    m_path = Folder() + QStringLiteral("/LCK..") + name;
}

TPortLock::~TPortLock() {
    Release();
}

qint64 TPortLock::OwnerOf(const QString& lockPath) {
    QFile file(lockPath);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    const QByteArray head = file.read(64);
    return head.left(head.indexOf('\n') < 0 ? head.size() : head.indexOf('\n'))
        .trimmed()
        .toLongLong();
}

bool TPortLock::IsRunning(qint64 pid) {
    if (pid <= 0) return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

TPortLock::Result TPortLock::Acquire() {
    if (m_held) return Locked;
    const QByteArray content =
        QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n';
    const QByteArray target = QFile::encodeName(m_path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Write a private file and link it into place, so no program ever sees half a lock.
        QByteArray temp = target + ".XXXXXX";
        const int fd = ::mkstemp(temp.data());
        if (fd < 0) {
            ErrorText = QString::fromLocal8Bit(std::strerror(errno));
            return Failed;
        }
        const bool written = ::write(fd, content.constData(), content.size()) == content.size();
        ::fchmod(fd, 0644);
        ::close(fd);
        const int linked = written ? ::link(temp.constData(), target.constData()) : -1;
        const int linkError = errno;
        ::unlink(temp.constData());
        if (linked == 0) {
            m_held = true;
            return Locked;
        }
        if (linkError != EEXIST) {
            ErrorText = QString::fromLocal8Bit(std::strerror(written ? linkError : EIO));
            return Failed;
        }
        const qint64 owner = OwnerOf(m_path);
        if (owner == ::getpid() || IsRunning(owner)) {
            ErrorText = QStringLiteral("The port is locked by process %1").arg(owner);
            return Busy;
        }
        ::unlink(target.constData());  // stale: its process is gone
    }
    ErrorText = QStringLiteral("The lock could not be taken");
    return Failed;
}

bool TPortLock::StillOurs() const {
    return m_held && OwnerOf(m_path) == ::getpid();
}

void TPortLock::Release() {
    if (!m_held) return;
    m_held = false;
    if (OwnerOf(m_path) == ::getpid()) ::unlink(QFile::encodeName(m_path).constData());
}
