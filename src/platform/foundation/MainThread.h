#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace pellora {

// Hands calls from worker threads to the thread that owns the interface, in
// the order they were posted. The GUI implements it with queued invocations;
// the terminal front end and tests use the plain implementations below.
class MainThreadDispatcher {
public:
    virtual ~MainThreadDispatcher() = default;
    // Runs the call on the main thread later, in posting order.
    virtual void post(std::function<void()> call) = 0;
    // Runs the call on the main thread and returns once it has run.
    virtual void postAndWait(std::function<void()> call) = 0;
};

// Runs every call at once on the posting thread, one at a time: for programs
// whose only "interface" is the terminal.
class InlineDispatcher final : public MainThreadDispatcher {
public:
    void post(std::function<void()> call) override;
    void postAndWait(std::function<void()> call) override;

private:
    std::recursive_mutex _mutex;
};

// Queues calls until the owning thread drains them: lets a test decide when
// "the main thread" runs, and check the order of what a job handed over.
class QueueDispatcher final : public MainThreadDispatcher {
public:
    void post(std::function<void()> call) override;
    // Blocks until the owner has run the call with drain() or waitAndDrain().
    void postAndWait(std::function<void()> call) override;
    // Runs every queued call on the calling thread; returns how many ran.
    std::size_t drain();
    // Waits until at least one call is queued or the timeout passes, then drains.
    std::size_t waitAndDrain(std::chrono::milliseconds timeout);

private:
    std::mutex _mutex;
    std::condition_variable _queued;
    std::condition_variable _ran;
    std::deque<std::function<void()>> _calls;
    std::uint64_t _posted = 0;
    std::uint64_t _completed = 0;
};

} // namespace pellora
