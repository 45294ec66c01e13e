#include "platform/telephony/serialport.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

namespace {
QString SystemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
}  // namespace

TSerialPort::TSerialPort(QObject* parent) : QObject(parent) {
    connect(&m_readTimer, &QTimer::timeout, this, &TSerialPort::ReadReady);
}

TSerialPort::~TSerialPort() {
    Close();
}

bool TSerialPort::Open(const QString& path) {
    Close();
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ErrorText = SystemText(errno);
        return false;
    }
    struct termios tio;
    if (::tcgetattr(fd, &tio) != 0) {
        ErrorText = SystemText(errno);
        ::close(fd);
        return false;
    }
    ::cfmakeraw(&tio);
    // HUPCL: closing the port, or the program dying, drops DTR, and the modem hangs up and
    // leaves voice mode; the next start finds it in command mode.
    tio.c_cflag |= CLOCAL | CREAD | HUPCL;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B115200);
    ::cfsetospeed(&tio, B115200);
    ::tcsetattr(fd, TCSANOW, &tio);
    // Hardware flow control where the port has it (real RS-232); others ignore the request.
    tio.c_cflag |= CRTSCTS;
    ::tcsetattr(fd, TCSANOW, &tio);
    ::tcflush(fd, TCIOFLUSH);

    m_fd = fd;
    ErrorText.clear();
    m_reader = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_reader, &QSocketNotifier::activated, this, &TSerialPort::ReadReady);
    m_writer = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writer->setEnabled(false);
    connect(m_writer, &QSocketNotifier::activated, this, &TSerialPort::WriteReady);
    return true;
}

void TSerialPort::Close() {
    m_readTimer.stop();
    delete m_reader;
    delete m_writer;
    m_reader = m_writer = nullptr;
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_out.clear();
}

void TSerialPort::Write(const QByteArray& bytes) {
    if (m_fd < 0) return;
    m_out += bytes;
    WriteReady();
}

void TSerialPort::DiscardOutput() {
    m_out.clear();
    if (m_fd >= 0) ::tcflush(m_fd, TCOFLUSH);
}

void TSerialPort::SetReadInterval(int intervalMs) {
    if (m_fd < 0) return;
    // The notifier reports what came since the last look as soon as it is enabled again.
    m_reader->setEnabled(intervalMs <= 0);
    if (intervalMs <= 0)
        m_readTimer.stop();
    else if (m_readTimer.interval() != intervalMs || !m_readTimer.isActive())
        m_readTimer.start(intervalMs);
}

// Everything the driver holds, in one piece.
void TSerialPort::ReadReady() {
    constexpr qsizetype kPiece = 4096;
    if (m_fd < 0) return;
    QByteArray bytes;
    for (;;) {
        const qsizetype had = bytes.size();
        bytes.resize(had + kPiece);
        const ssize_t n = ::read(m_fd, bytes.data() + had, kPiece);
        bytes.resize(had + qMax<ssize_t>(n, 0));
        if (n == kPiece) continue;
        if (n > 0 || (n < 0 && errno == EAGAIN)) break;
        if (n < 0 && errno == EINTR) continue;
        const int error = n == 0 ? EIO : errno;
        if (!bytes.isEmpty()) emit Received(bytes);  // what came before the end is kept
        if (m_fd >= 0) Fail(error);
        return;
    }
    if (!bytes.isEmpty()) emit Received(bytes);
}

void TSerialPort::WriteReady() {
    while (m_fd >= 0 && !m_out.isEmpty()) {
        const ssize_t n = ::write(m_fd, m_out.constData(), m_out.size());
        if (n > 0) {
            m_out.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) break;
        return Fail(n < 0 ? errno : EIO);
    }
    if (m_writer) m_writer->setEnabled(!m_out.isEmpty());
}

void TSerialPort::Fail(int error) {
    const QString reason = SystemText(error);
    ErrorText = reason;
    Close();  // at the first error: a dead pseudo-terminal would report it again and again
    emit Failed(reason);
}
