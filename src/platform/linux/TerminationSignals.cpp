#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The handler may only do async-signal-safe work: it writes the signal number into
// a socket whose other end the event loop watches.
int g_signalFds[2] = {-1, -1};
std::atomic<bool> g_taken{false};

extern "C" void onTerminationSignal(int number) {
    const int savedErrno = errno; // the interrupted code may be about to read it
    const auto byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_signalFds[0], &byte, 1);
    errno = savedErrno;
}

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() {
    if (!m_installed)
        return;
    for (int number : kSignals)
        std::signal(number, SIG_DFL);
    m_notifier.reset();
    ::close(g_signalFds[0]);
    ::close(g_signalFds[1]);
    g_signalFds[0] = g_signalFds[1] = -1;
    g_taken = false;
}

bool TerminationSignals::install() {
    if (m_installed || g_taken.exchange(true))
        return false;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) != 0) {
        g_taken = false;
        return false;
    }
    // A full socket must never block the handler; extra signals are dropped.
    ::fcntl(g_signalFds[0], F_SETFL, ::fcntl(g_signalFds[0], F_GETFL) | O_NONBLOCK);
    m_notifier = std::make_unique<QSocketNotifier>(g_signalFds[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::readSignal);

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals)
        ::sigaction(number, &action, nullptr);
    m_installed = true;
    return true;
}

void TerminationSignals::readSignal() {
    unsigned char byte = 0;
    if (::read(g_signalFds[1], &byte, 1) == 1)
        Q_EMIT terminationRequested(byte);
}
