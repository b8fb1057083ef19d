#include "jobs/JobThreads.h"

namespace pellora {

void JobThreads::start(std::function<void()> body) {
    std::lock_guard lock(_mutex);
    joinFinished();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([body = std::move(body), finished] {
        body();
        finished->store(true);
    });
    _jobs.push_back(Job{std::move(thread), std::move(finished)});
}

void JobThreads::joinFinished() {
    for (auto it = _jobs.begin(); it != _jobs.end();) {
        if (it->finished->load()) {
            it->thread.join();  // it has returned from its body; this is immediate
            it = _jobs.erase(it);
        } else {
            ++it;
        }
    }
}

void JobThreads::joinAll() {
    for (;;) {
        std::list<Job> jobs;
        {
            std::lock_guard lock(_mutex);
            if (_jobs.empty()) return;
            jobs.splice(jobs.end(), _jobs);
        }
        for (Job& job : jobs) job.thread.join();
    }
}

} // namespace pellora
