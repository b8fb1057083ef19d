#include "platform/foundation/MainThread.h"

namespace pellora {

void InlineDispatcher::post(std::function<void()> call) {
    std::lock_guard lock(_mutex);
    call();
}

void InlineDispatcher::postAndWait(std::function<void()> call) { post(std::move(call)); }

void QueueDispatcher::post(std::function<void()> call) {
    {
        std::lock_guard lock(_mutex);
        _calls.push_back(std::move(call));
        ++_posted;
    }
    _queued.notify_all();
}

void QueueDispatcher::postAndWait(std::function<void()> call) {
    std::unique_lock lock(_mutex);
    _calls.push_back(std::move(call));
    const std::uint64_t ticket = ++_posted;
    _queued.notify_all();
    _ran.wait(lock, [&] { return _completed >= ticket; });
}

std::size_t QueueDispatcher::drain() {
    std::size_t ran = 0;
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(_mutex);
            if (_calls.empty()) break;
            call = std::move(_calls.front());
            _calls.pop_front();
        }
        call();
        ++ran;
        {
            std::lock_guard lock(_mutex);
            ++_completed;
        }
        _ran.notify_all();
    }
    return ran;
}

std::size_t QueueDispatcher::waitAndDrain(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(_mutex);
        _queued.wait_for(lock, timeout, [&] { return !_calls.empty(); });
    }
    return drain();
}

} // namespace pellora
