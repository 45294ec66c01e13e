#include "platform/tfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "platform/atomicfile.h"
#include "platform/prompts.h"

namespace {
constexpr mode_t kPrivateFile = 0600;  // messages, logs, settings and the phone book are private
constexpr mode_t kPrivateFolder = 0700;
constexpr int kMaxErrorText = 255;

QByteArray Native(const QString& name) {
    return QFile::encodeName(name);
}

// open(2) flags for a mode, or -1 for a mode that is refused.
int OpenFlags(int mode) {
    const bool read = mode & TFile::ModeRead;
    const bool write = mode & TFile::ModeWrite;
    const bool create = mode & TFile::ModeCreate;
    if (!read && !write) return mode == TFile::ModeProbe ? O_PATH | O_CLOEXEC : -1;
    // Truncating needs write access on Linux, so read-and-create opens for both.
    int flags = read && (write || create) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    if (write || create) flags |= O_CREAT;
    if (create) flags |= O_TRUNC;
    return flags | O_CLOEXEC;
}

// The link replaced by a file holding what it led to (nothing when that cannot be read).
void LocalCopyOfLink(const QString& name) {
    QFile target(name);
    const QByteArray contents = target.open(QIODevice::ReadOnly) ? target.readAll() : QByteArray();
    RewriteFile(name, contents);
}
}  // namespace

TFile::~TFile() {
    if (OwnsHandle) Close();
}

bool TFile::NameFits(const QString& name, const char* operation) {
    FileName = name.left(kMaxName - 1);
    if (name.size() < kMaxName && !name.isEmpty()) return true;
    Fail(operation, name.isEmpty() ? ENOENT : ENAMETOOLONG);
    return false;
}

int TFile::Open(const QString& name, int mode) {
    Close();
    if (!NameFits(name, "Open")) return -1;
    const int flags = OpenFlags(mode);
    if (flags < 0) {
        Fail("Open", EINVAL);
        return -1;
    }
    // A data file that is a link out of its folder is never written through: it becomes a
    // file of its own here first, with what the link showed.
    if ((flags & (O_WRONLY | O_RDWR)) && LeadsOutside(name)) LocalCopyOfLink(name);
    // Opened without blocking, so a FIFO or a device put in place of a data file cannot hold
    // the program up; only a regular file is taken (a folder, a FIFO, /dev/zero are refused).
    const bool probe = mode == ModeProbe;
    int fd;
    do
        fd = ::open(Native(name).constData(), probe ? flags : flags | O_NONBLOCK, kPrivateFile);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        Fail("Open", errno);
        return -1;
    }
    struct stat st;
    const int refused = fstat(fd, &st) != 0              ? errno
                        : S_ISDIR(st.st_mode)            ? EISDIR
                        : !probe && !S_ISREG(st.st_mode) ? EINVAL
                                                         : 0;
    if (refused) {
        ::close(fd);
        if (refused == EINVAL)
            Report("Open", QStringLiteral("Not a regular file"));
        else
            Fail("Open", refused);
        return -1;
    }
    if (!probe) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    Handle = fd;
    OwnsHandle = true;
    return Handle;
}

void TFile::Attach(int handle, const QString& name) {
    Close();
    Handle = handle;
    OwnsHandle = true;
    FileName = name.left(kMaxName - 1);
}

void TFile::Close() {
    if (Handle >= 0) ::close(Handle);
    Handle = -1;
}

qint64 TFile::Read(void* buffer, qint64 count) {
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::read(Handle, static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            Fail("Read", errno);
            return -1;
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

qint64 TFile::Write(const void* buffer, qint64 count) {
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::write(Handle, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Fail("Write", n < 0 ? errno : ENOSPC);
            return -1;
        }
        done += n;
    }
    return done;
}

qint64 TFile::Tell() {
    return ::lseek(Handle, 0, SEEK_CUR);
}

qint64 TFile::Seek(qint64 position) {
    return ::lseek(Handle, position, SEEK_SET);
}

qint64 TFile::SeekEnd() {
    return ::lseek(Handle, 0, SEEK_END);
}

qint64 TFile::GetSize() {
    struct stat st;
    return fstat(Handle, &st) == 0 ? st.st_size : -1;
}

bool TFile::Flush() {
    if (::fsync(Handle) == 0) return true;
    Fail("Write", errno);
    return false;
}

int TFile::ReadLine(char* buffer, int maxLen) {
    const qint64 start = Tell();
    if (start < 0 || start == GetSize()) return -1;
    if (maxLen < 1) return -1;
    const qint64 got = qMax<qint64>(Read(buffer, qMin(maxLen - 1, 0xFFFF)), 0);

    int copied = 0;
    qint64 scanned = -1;  // bytes up to and including the byte that ended the line
    for (qint64 i = 0; i < got; ++i) {
        const char c = buffer[i];
        if (c == '\0' || c == '\n' || c == '\r') {
            if (copied == 0) continue;
            scanned = i + 1;
            break;
        }
        buffer[copied++] = c;
    }
    buffer[copied] = '\0';

    // A line longer than the buffer goes on in the next call without losing a byte; at the
    // end of the file the position passes the end by one.
    const bool filled = got == maxLen - 1 && start + got < GetSize();
    const qint64 advance = scanned >= 0 ? scanned : filled ? got : got + 1;
    const qint64 next = Seek(start + qMax<qint64>(advance, filled ? 1 : 2));
    if (next <= start) Prompts().Beep();
    return copied;
}

bool TFile::Exists(const QString& name) {
    TFile probe;
    return probe.Open(name, ModeRead) >= 0;
}

bool TFile::Delete(const QString& name) {
    if (!NameFits(name, "Delete")) return false;
    if (::unlink(Native(name).constData()) == 0) return true;
    Fail("Delete", errno);
    return false;
}

bool TFile::Copy(const QString& from, const QString& to) {
    if (!NameFits(from, "Copy")) return false;
    // The copy replaces the target in one step, so a failed copy leaves the old target whole.
    TFile source;
    TAtomicFile target(to);
    if (source.Open(from, ModeRead) < 0) return Report("Copy", source.ErrorText);
    if (!target.Open()) return Report("Copy", target.ErrorText);
    char chunk[65536];
    qint64 n;
    while ((n = source.Read(chunk, sizeof chunk)) > 0)
        if (!target.Write(chunk, n)) return Report("Copy", target.ErrorText);
    if (n < 0) return Report("Copy", source.ErrorText);
    return target.Commit() || Report("Copy", target.ErrorText);
}

bool TFile::MakeDirectory(const QString& path) {
    if (!NameFits(path, "Make Directory")) return false;
    struct stat st;
    if (::stat(Native(path).constData(), &st) == 0) return true;
    if (::mkdir(Native(path).constData(), kPrivateFolder) == 0) return true;
    Fail("Make Directory", errno);
    return false;
}

bool TFile::MakeUniqueName(const QString& base, const QString& extension, const QString& folder,
                           QString* out) {
    if (!FolderExists(folder)) return false;
    // Joined, never formatted: a '%' in a folder or base name stays as it is.
    const QString stem = folder + QLatin1Char('/') + base;
    const QString dotExt = QLatin1Char('.') + extension;
    QString name = stem + dotExt;
    for (int n = 1; Exists(name); ++n)
        name = stem + QString::number(n) + dotExt;
    *out = name;
    return true;
}

void TFile::Fail(const char* operation, int error) {
    Report(operation, QString::fromLocal8Bit(std::strerror(error)));
}

bool TFile::Report(const char* operation, const QString& reason) {
    ErrorText = reason.left(kMaxErrorText);
    if (ReportErrors) {
        const QString text = QStringLiteral("%1 error on file \"%2\"\rReason: %3")
                                 .arg(QLatin1String(operation), FileName, ErrorText);
        Prompts().MessageBox(text, QStringLiteral("File Error"), prompt::MB_OK);
    }
    return false;
}

bool FolderExists(const QString& path) {
    struct stat st;
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}
