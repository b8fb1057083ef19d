#include "jobs/ExportLookahead.h"

#include <algorithm>
#include <thread>

namespace pellora {

ExportLookahead::ExportLookahead(std::size_t workers, Prepare prepare)
    : _workers(workers > 0 ? workers : defaultWorkerCount()),
      _prepare(std::move(prepare)),
      _running(static_cast<std::ptrdiff_t>(_workers)) {}

std::size_t ExportLookahead::defaultWorkerCount() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void ExportLookahead::follow(const std::vector<PelloraImagePtr>& front) {
    std::size_t kept = 0;
    while (kept < _ahead.size() && kept < front.size() && front[kept] == _ahead[kept].record) ++kept;
    while (_ahead.size() > kept) {
        _ahead.back().prepared.get().discard();
        _ahead.pop_back();
    }
    for (std::size_t index = kept; index < std::min(window(), front.size()); ++index) {
        const PelloraImagePtr& record = front[index];
        std::future<PreparedExport> prepared = std::async(std::launch::async, [this, record] {
            _running.acquire();
            PreparedExport result = _discarding ? PreparedExport{} : _prepare(record);
            _running.release();
            return result;
        });
        _ahead.push_back(Ahead{record, std::move(prepared)});
    }
}

PreparedExport ExportLookahead::takeFirst() {
    PreparedExport first = _ahead.front().prepared.get();
    _ahead.pop_front();
    return first;
}

void ExportLookahead::discardAll() {
    _discarding = true;  // work still waiting for a worker is not started
    for (Ahead& ahead : _ahead) ahead.prepared.get().discard();
    _ahead.clear();
    _discarding = false;
}

} // namespace pellora
