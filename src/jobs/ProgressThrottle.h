#pragma once

#include <chrono>

namespace pellora {

// Spaces progress updates at least `interval` apart, so that a job handling
// many small items does not flood the main thread. The caller always sends its
// last update, so the bar ends exact.
class ProgressThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressThrottle(Clock::duration interval) : _interval(interval), _last(Clock::now()) {}

    // True when an update may be sent now; it then counts as sent.
    bool due() {
        const Clock::time_point now = Clock::now();
        if (now - _last < _interval) return false;
        _last = now;
        return true;
    }

private:
    const Clock::duration _interval;
    Clock::time_point _last;
};

} // namespace pellora
