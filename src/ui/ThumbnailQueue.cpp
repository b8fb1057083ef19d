#include "ui/ThumbnailQueue.h"

namespace pellora {

void ThumbnailQueue::schedule(const std::shared_ptr<PelloraImage>& record, int priority) {
    std::lock_guard lock(_mutex);
    if (const auto found = _priorityOf.find(record.get()); found != _priorityOf.end()) {
        _byPriority.erase(found->second);
    }
    _priorityOf[record.get()] = priority;
    _byPriority[priority] = Waiting{record.get(), record};
}

void ThumbnailQueue::raise(const PelloraImage* record, int priority) {
    std::lock_guard lock(_mutex);
    const auto found = _priorityOf.find(record);
    if (found == _priorityOf.end()) return;
    auto waiting = _byPriority.extract(found->second);
    waiting.key() = priority;
    _byPriority.insert(std::move(waiting));
    found->second = priority;
}

void ThumbnailQueue::cancel(const PelloraImage* record) {
    std::lock_guard lock(_mutex);
    const auto found = _priorityOf.find(record);
    if (found == _priorityOf.end()) return;
    _byPriority.erase(found->second);
    _priorityOf.erase(found);
}

std::weak_ptr<PelloraImage> ThumbnailQueue::takeNext() {
    std::lock_guard lock(_mutex);
    if (_byPriority.empty()) return {};
    const auto highest = std::prev(_byPriority.end());
    std::weak_ptr<PelloraImage> record = std::move(highest->second.record);
    _priorityOf.erase(highest->second.key);
    _byPriority.erase(highest);
    return record;
}

std::size_t ThumbnailQueue::size() const {
    std::lock_guard lock(_mutex);
    return _byPriority.size();
}

} // namespace pellora
