#include "store/messagefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cerrno>
#include <cstring>

namespace {
constexpr int kTriedNames = 100;
constexpr qint64 kRiffSizeAt = 4, kFormatSizeAt = 16, kFormatAt = 20, kDataTagAt = 38,
                 kDataSizeAt = 42;
constexpr quint32 kFormatBlock = 18;

QByteArray Le32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool WriteAll(int fd, const char* data, qint64 count, qint64 at, qint64* written) {
    *written = 0;
    while (*written < count) {
        const ssize_t n = ::pwrite(fd, data + *written, size_t(count - *written), at + *written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        *written += n;
    }
    return true;
}

// The sizes a header of ours gives, or false when the file is not laid out as ours are.
bool OurHeader(const QByteArray& head) {
    return head.size() == TMessageFile::kHeaderSize && head.startsWith("RIFF") &&
           head.mid(8, 8) == "WAVEfmt " &&
           qFromLittleEndian<quint32>(head.constData() + kFormatSizeAt) == kFormatBlock &&
           head.mid(kDataTagAt, 4) == "data";
}
}  // namespace

TMessageFile::~TMessageFile() {
    Finish();
}

bool TMessageFile::Create(const QString& folder, qint64 stamp, const QByteArray& format) {
    Close();
    m_error.clear();
    m_data = 0;
    if (format.size() != int(kFormatBlock)) {
        m_error = QStringLiteral("the recording format is not one of ours");
        return false;
    }
    for (int tried = 0; tried < kTriedNames; ++tried) {
        m_name = QStringLiteral("msg%1.wav").arg(stamp + tried);
        m_path = QDir(folder).filePath(m_name);
        m_fd = ::open(QFile::encodeName(m_path).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (m_fd >= 0 || errno != EEXIST) break;
    }
    if (m_fd < 0) {
        m_error = SystemError(errno);
        return false;
    }
    const QByteArray header =
        "RIFF" + Le32(0) + "WAVEfmt " + Le32(kFormatBlock) + format + "data" + Le32(0);
    qint64 written = 0;
    if (!WriteAll(m_fd, header.constData(), header.size(), 0, &written) || !WriteSizes()) {
        m_error = SystemError(errno);
        Discard();  // not even the header fits: no empty file is left
        return false;
    }
    return true;
}

bool TMessageFile::Append(const QByteArray& samples) {
    if (m_fd < 0 || Failed()) return false;
    if (samples.isEmpty()) return true;
    qint64 written = 0;
    const bool whole =
        WriteAll(m_fd, samples.constData(), samples.size(), kHeaderSize + m_data, &written);
    const int error = errno;
    m_data += written;  // 8-bit mono: every byte written is a whole sample
    if (!whole) {
        m_error = SystemError(error);
        // What did not fit may have left a block allocated past the last sample.
        [[maybe_unused]] const int cut = ::ftruncate(m_fd, kHeaderSize + m_data);
    }
    return WriteSizes() && whole;
}

// The sizes overwrite bytes that are already on the disk, so they fit on a full disk too.
bool TMessageFile::WriteSizes() {
    const QByteArray riff = Le32(quint32(kHeaderSize - 8 + m_data));
    const QByteArray data = Le32(quint32(m_data));
    qint64 written = 0;
    if (!WriteAll(m_fd, riff.constData(), 4, kRiffSizeAt, &written) ||
        !WriteAll(m_fd, data.constData(), 4, kDataSizeAt, &written))
        return false;
    return ::fdatasync(m_fd) == 0 || errno == EINVAL;
}

void TMessageFile::Close() {
    if (m_fd < 0) return;
    ::close(m_fd);
    m_fd = -1;
}

bool TMessageFile::Finish() {
    if (m_fd < 0) return false;
    ::fsync(m_fd);
    Close();
    if (m_data > 0) return true;
    ::unlink(QFile::encodeName(m_path).constData());
    return false;
}

void TMessageFile::Discard() {
    Close();
    if (!m_path.isEmpty()) ::unlink(QFile::encodeName(m_path).constData());
    m_data = 0;
}

int RecoverMessageFiles(const QString& folder) {
    int mended = 0;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.wav")}, QDir::Files)) {
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st;
        QByteArray head(TMessageFile::kHeaderSize, '\0');
        const bool ours = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
                          ::pread(fd, head.data(), size_t(head.size()), 0) == head.size() &&
                          OurHeader(head);
        const qint64 data = qint64(st.st_size) - TMessageFile::kHeaderSize;
        const bool wrong =
            ours && (qFromLittleEndian<quint32>(head.constData() + kDataSizeAt) != data ||
                     qFromLittleEndian<quint32>(head.constData() + kRiffSizeAt) !=
                         data + TMessageFile::kHeaderSize - 8);
        if (wrong && data > 0 && data < 0xFFFFFFFFLL - TMessageFile::kHeaderSize) {
            const QByteArray riff = Le32(quint32(data + TMessageFile::kHeaderSize - 8));
            const QByteArray size = Le32(quint32(data));
            if (::pwrite(fd, riff.constData(), 4, kRiffSizeAt) == 4 &&
                ::pwrite(fd, size.constData(), 4, kDataSizeAt) == 4 && ::fsync(fd) == 0)
                ++mended;
        }
        ::close(fd);
        if (ours && data == 0 && ::unlink(path.constData()) == 0) ++mended;
    }
    return mended;
}
