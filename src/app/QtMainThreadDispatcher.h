#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include "platform/foundation/MainThread.h"

namespace pellora {

// Hands calls to the thread that runs the Qt event loop: posted calls are
// queued events on the application object, so they run in posting order; a
// waiting call blocks the worker until the main thread has run it. Called on
// the main thread itself, postAndWait runs the call at once (waiting for its
// own event loop would never return).
class QtMainThreadDispatcher final : public MainThreadDispatcher {
public:
    void post(std::function<void()> call) override;
    void postAndWait(std::function<void()> call) override;

    // For the end of the run, once the event loop has stopped: runs the calls
    // that workers are waiting for, and from then on drops new calls, so a
    // worker can finish and be joined instead of waiting for a loop that is gone.
    // Main thread only.
    void shutDown();

private:
    std::mutex _mutex;
    bool _shutDown = false;
    std::atomic<int> _waitingCalls{0};
};

} // namespace pellora
