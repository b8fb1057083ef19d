#include "jobs/SourceList.h"

#include <algorithm>

#include "model/PelloraImage.h"

namespace pellora {

std::size_t SourceList::count() const {
    std::lock_guard lock(_mutex);
    return _records.size();
}

PelloraImagePtr SourceList::objectAtIndex(std::size_t index) const {
    std::lock_guard lock(_mutex);
    return index < _records.size() ? _records[index] : nullptr;
}

std::vector<PelloraImagePtr> SourceList::snapshot() const {
    std::lock_guard lock(_mutex);
    return {_records.begin(), _records.end()};
}

std::vector<PelloraImagePtr> SourceList::firstObjects(std::size_t count) const {
    std::lock_guard lock(_mutex);
    return {_records.begin(), _records.begin() + static_cast<std::ptrdiff_t>(std::min(count, _records.size()))};
}

bool SourceList::containsPath(const std::string& path) const {
    std::lock_guard lock(_mutex);
    return _pathCounts.count(path) != 0;
}

bool SourceList::addRecordForPathIfMissing(const std::string& path) {
    std::lock_guard lock(_mutex);
    if (_pathCounts.count(path) != 0) return false;
    _records.push_back(PelloraImage::pelloraImageWithPath(path));
    indexAdd(path);
    return true;
}

void SourceList::addObject(PelloraImagePtr record) {
    std::lock_guard lock(_mutex);
    indexAdd(record->inputPath());
    _records.push_back(std::move(record));
}

std::vector<PelloraImagePtr> SourceList::firstObjectsExcept(std::size_t count,
                                                            const std::unordered_set<PelloraImagePtr>& passedOver) const {
    std::lock_guard lock(_mutex);
    std::vector<PelloraImagePtr> front;
    for (auto it = _records.begin(); it != _records.end() && front.size() < count; ++it) {
        if (passedOver.count(*it) == 0) front.push_back(*it);
    }
    return front;
}

void SourceList::removeObject(const PelloraImagePtr& record) {
    std::lock_guard lock(_mutex);
    const auto it = std::find(_records.begin(), _records.end(), record);
    if (it == _records.end()) return;
    indexRemove(record->inputPath());
    _records.erase(it);
}

void SourceList::removeObjectsAtIndexes(const IndexSet& indexes) {
    std::lock_guard lock(_mutex);
    for (auto it = indexes.end(); it != indexes.begin();) {
        const std::size_t index = *--it;
        if (index >= _records.size()) continue;
        indexRemove(_records[index]->inputPath());
        _records.erase(_records.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

void SourceList::removeAllObjects() {
    std::lock_guard lock(_mutex);
    _records.clear();
    _pathCounts.clear();
}

void SourceList::indexAdd(const std::string& path) { ++_pathCounts[path]; }

void SourceList::indexRemove(const std::string& path) {
    const auto it = _pathCounts.find(path);
    if (it != _pathCounts.end() && --it->second == 0) _pathCounts.erase(it);
}

} // namespace pellora
