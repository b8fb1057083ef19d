#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace pellora::cli {

// Turns SIGINT (Ctrl-C), SIGTERM and SIGHUP (the terminal closed) into a call on a thread of its own, so
// that the handler may do real work. Construct it before any other thread:
// it blocks these signals in the calling thread, which every later thread
// inherits. onInterrupt runs once per signal received.
class InterruptWatcher {
public:
    explicit InterruptWatcher(std::function<void(int signal)> onInterrupt);
    ~InterruptWatcher();
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    // The first signal received, or 0.
    int signalReceived() const { return _signal; }

private:
    std::function<void(int)> _onInterrupt;
    std::atomic<int> _signal{0};
    std::thread _thread;
};

} // namespace pellora::cli
