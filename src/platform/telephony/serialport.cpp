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

TSerialPort::TSerialPort(QObject* parent) : QObject(parent) {}

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

void TSerialPort::ReadReady() {
    char buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n > 0) {
        emit Received(QByteArray(buffer, n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        Fail(n == 0 ? EIO : errno);
    }
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
