#include "ui/ThumbnailQueue.h"

namespace pellora {

std::map<int, ThumbnailQueue::Queued>& ThumbnailQueue::mapOf(const Place& place) {
    switch (place.state) {
    case Place::WaitingForSize: return _sizes;
    case Place::ReadingSize: return _readingSizes;
    case Place::WaitingForThumbnail: break;
    }
    return _thumbnails;
}

void ThumbnailQueue::schedule(const std::shared_ptr<PelloraImage>& record, int priority) {
    std::lock_guard lock(_mutex);
    if (const auto found = _placeOf.find(record.get()); found != _placeOf.end()) {
        mapOf(found->second).erase(found->second.priority);
    }
    _placeOf[record.get()] = Place{priority, Place::WaitingForSize};
    _sizes[priority] = Queued{record.get(), record};
}

void ThumbnailQueue::raise(const PelloraImage* record, int priority) {
    std::lock_guard lock(_mutex);
    const auto found = _placeOf.find(record);
    if (found == _placeOf.end()) return;
    auto& queue = mapOf(found->second);
    auto queued = queue.extract(found->second.priority);
    queued.key() = priority;
    queue.insert(std::move(queued));
    found->second.priority = priority;
}

void ThumbnailQueue::cancel(const PelloraImage* record) {
    std::lock_guard lock(_mutex);
    const auto found = _placeOf.find(record);
    if (found == _placeOf.end()) return;
    mapOf(found->second).erase(found->second.priority);
    _placeOf.erase(found);
}

std::optional<ThumbnailQueue::Work> ThumbnailQueue::takeNext() {
    std::lock_guard lock(_mutex);
    if (!_sizes.empty()) {
        auto queued = _sizes.extract(std::prev(_sizes.end()));
        _placeOf[queued.mapped().key].state = Place::ReadingSize;
        Work work{queued.mapped().key, queued.mapped().record, Stage::Size};
        _readingSizes.insert(std::move(queued));
        return work;
    }
    if (!_thumbnails.empty()) {
        auto queued = _thumbnails.extract(std::prev(_thumbnails.end()));
        _placeOf.erase(queued.mapped().key);
        return Work{queued.mapped().key, std::move(queued.mapped().record), Stage::Thumbnail};
    }
    return std::nullopt;
}

bool ThumbnailQueue::sizeRead(const PelloraImage* record) {
    std::lock_guard lock(_mutex);
    const auto found = _placeOf.find(record);
    if (found == _placeOf.end() || found->second.state != Place::ReadingSize) return false;
    auto queued = _readingSizes.extract(found->second.priority);
    found->second.state = Place::WaitingForThumbnail;
    _thumbnails.insert(std::move(queued));
    return true;
}

std::size_t ThumbnailQueue::size() const {
    std::lock_guard lock(_mutex);
    return _placeOf.size();
}

} // namespace pellora
