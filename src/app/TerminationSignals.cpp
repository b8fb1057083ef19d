#include "app/TerminationSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/foundation/Log.h"

namespace pellora {

namespace {

// [0] is written by the handler, [1] read by the notifier.
int signalSockets[2] = {-1, -1};
constexpr int kHandledSignals[] = {SIGTERM, SIGINT};

extern "C" void writeSignalByte(int) {
    const int savedErrno = errno;
    const char byte = 1;
    // A full socket already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSockets) != 0) {
        Log::line("TerminationSignals: cannot watch for termination signals; they end the program at once");
        signalSockets[0] = signalSockets[1] = -1;
        return;
    }
    _notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(_notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);
    struct sigaction action {};
    action.sa_handler = writeSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kHandledSignals) ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    if (_notifier == nullptr) return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : kHandledSignals) ::sigaction(signal, &action, nullptr);
    delete _notifier;
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}

void TerminationSignals::drain() {
    char bytes[64];
    while (::read(signalSockets[1], bytes, sizeof bytes) > 0) {
    }
    emit received();
}

} // namespace pellora
