#include "platform/signalwatcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace {
int g_fds[2] = {-1, -1};
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &byte, 1);
    errno = saved;
}
}  // namespace

TSignalWatcher::TSignalWatcher(QObject* parent) : QObject(parent) {
    if (g_fds[0] >= 0) return;  // one watcher per process
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0) return;
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TSignalWatcher::ReadSignal);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals)
        ::sigaction(number, &action, nullptr);
}

TSignalWatcher::~TSignalWatcher() {
    if (!m_notifier) return;
    for (int number : kSignals)
        ::signal(number, SIG_DFL);
    ::close(g_fds[0]);
    ::close(g_fds[1]);
    g_fds[0] = g_fds[1] = -1;
}

void TSignalWatcher::ReadSignal() {
    unsigned char byte;
    while (::read(g_fds[1], &byte, 1) == 1)
        emit Signalled(byte);
}
