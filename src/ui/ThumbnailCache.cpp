#include "ui/ThumbnailCache.h"

#include <QMetaObject>
#include <QThread>

#include "model/PelloraImage.h"
#include "ui/BackgroundPriority.h"
#include "ui/ThumbnailImage.h"

namespace pellora {

ThumbnailCache::ThumbnailCache(QObject* parent) : QObject(parent) {
    _pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

ThumbnailCache::~ThumbnailCache() {
    _pool.clear();
    _pool.waitForDone();
}

const ThumbnailCache::Thumbnail* ThumbnailCache::thumbnailForRecord(const PelloraImagePtr& record) {
    if (!record) {
        return nullptr;
    }
    auto found = _entries.find(record.get());
    // A record at the address of one that is gone is a new record.
    if (found != _entries.end() && found->second.record.lock() != record) {
        _entries.erase(found);
        found = _entries.end();
    }
    if (found != _entries.end()) {
        return found->second.ready ? &found->second.thumbnail : nullptr;
    }
    _entries.emplace(record.get(), Entry{record, false, {}});
    std::weak_ptr<PelloraImage> weakRecord = record;
    _pool.start(
        [this, weakRecord] {
            lowerCurrentThreadPriority();
            const PelloraImagePtr strongRecord = weakRecord.lock();
            if (!strongRecord) {
                return;
            }
            Thumbnail thumbnail = thumbnailOfRecord(*strongRecord);
            QMetaObject::invokeMethod(
                this, [this, weakRecord, thumbnail = std::move(thumbnail)]() mutable {
                    store(weakRecord, std::move(thumbnail));
                },
                Qt::QueuedConnection);
        },
        ++_nextPriority);
    return nullptr;
}

void ThumbnailCache::store(const std::weak_ptr<PelloraImage>& record, Thumbnail thumbnail) {
    const PelloraImagePtr strongRecord = record.lock();
    if (!strongRecord) {
        return;
    }
    const auto found = _entries.find(strongRecord.get());
    if (found == _entries.end() || found->second.record.lock() != strongRecord) {
        return;
    }
    found->second.thumbnail = std::move(thumbnail);
    found->second.ready = true;
    emit thumbnailReady(strongRecord.get());
}

void ThumbnailCache::removeUnusedEntries() {
    std::erase_if(_entries, [](const auto& entry) { return entry.second.record.expired(); });
}

} // namespace pellora
