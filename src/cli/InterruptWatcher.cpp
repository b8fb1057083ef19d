#include "cli/InterruptWatcher.h"

#include <csignal>
#include <pthread.h>

namespace pellora::cli {
namespace {

// SIGUSR2 only wakes the watcher for shutdown; nobody else sends it.
sigset_t watchedSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGUSR2);
    return signals;
}

} // namespace

InterruptWatcher::InterruptWatcher(std::function<void(int)> onInterrupt) : _onInterrupt(std::move(onInterrupt)) {
    const sigset_t signals = watchedSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    _thread = std::thread([this, signals] {
        for (;;) {
            int received = 0;
            if (sigwait(&signals, &received) != 0 || received == SIGUSR2) return;
            int none = 0;
            _signal.compare_exchange_strong(none, received);
            _onInterrupt(received);
        }
    });
}

InterruptWatcher::~InterruptWatcher() {
    pthread_kill(_thread.native_handle(), SIGUSR2);
    _thread.join();
}

} // namespace pellora::cli
