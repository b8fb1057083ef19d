#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace pellora {

// The job threads of one controller. Each job runs on a thread of its own and
// nobody waits for it while it works; a thread that has finished is joined
// when the next one starts, and the rest when the owner asks or is destroyed.
class JobThreads {
public:
    JobThreads() = default;
    ~JobThreads() { joinAll(); }
    JobThreads(const JobThreads&) = delete;
    JobThreads& operator=(const JobThreads&) = delete;

    void start(std::function<void()> body);
    // Joins every thread, including those started while waiting.
    void joinAll();

private:
    struct Job {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    void joinFinished();  // with _mutex held

    std::mutex _mutex;
    std::list<Job> _jobs;
};

} // namespace pellora
