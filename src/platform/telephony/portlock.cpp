#include "platform/telephony/portlock.h"

#include <fcntl.h>
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

// Anyone may write in the lock folder: a FIFO, a device or a link put at the lock's path
// must not block or mislead the program. Such a thing is a lock of an unknown owner.
qint64 TPortLock::OwnerOf(const QString& lockPath) {
    const int fd = ::open(QFile::encodeName(lockPath).constData(),
                          O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? 0 : kForeign;
    struct stat st;
    char buffer[64];
    ssize_t n = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (n < 0) return kForeign;
    const QByteArray head(buffer, n);
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
        if (owner == kForeign) {
            ErrorText =
                QStringLiteral("The port's lock ") + m_path + QStringLiteral(" is not a lock file");
            return Busy;
        }
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
