#include "ui/ThumbnailCache.h"

#include <QMetaObject>
#include <QThread>

#include "model/PelloraImage.h"
#include "ui/BackgroundPriority.h"
#include "ui/ThumbnailImage.h"

namespace pellora {

ThumbnailCache::ThumbnailCache(QObject* parent, int workerCount) : QObject(parent) {
    _pool.setMaxThreadCount(workerCount > 0 ? workerCount : std::max(1, QThread::idealThreadCount()));
}

ThumbnailCache::~ThumbnailCache() {
    _pool.clear();
    _pool.waitForDone();
}

const ThumbnailCache::Thumbnail* ThumbnailCache::thumbnailForRecord(const PelloraImagePtr& record) {
    if (!record) {
        return nullptr;
    }
    const Entry& entry = entryForRecord(record);
    return entry.ready ? &entry.thumbnail : nullptr;
}

std::optional<QSize> ThumbnailCache::pixelSizeForRecord(const PelloraImagePtr& record) {
    if (!record) {
        return std::nullopt;
    }
    return entryForRecord(record).pixelSize;
}

ThumbnailCache::Entry& ThumbnailCache::entryForRecord(const PelloraImagePtr& record) {
    auto found = _entries.find(record.get());
    // A record at the address of one that is gone is a new record.
    if (found != _entries.end() && found->second.record.lock() != record) {
        _entries.erase(found);
        found = _entries.end();
    }
    if (found != _entries.end()) {
        // Asked again (drawn again): served before the rows asked for earlier.
        if (!found->second.ready) _waiting.raise(record.get(), ++_nextPriority);
        return found->second;
    }
    Entry& entry = _entries.emplace(record.get(), Entry{record, std::nullopt, false, {}}).first->second;
    _waiting.schedule(record, ++_nextPriority);
    startWorker();
    return entry;
}

void ThumbnailCache::startWorker() {
    // One worker task for each piece of work queued: each does whichever is first when it runs.
    _pool.start([this] { readNext(); });
}

// On a worker thread.
void ThumbnailCache::readNext() {
    lowerCurrentThreadPriority();
    const std::optional<ThumbnailQueue::Work> work = _waiting.takeNext();
    if (!work) return;
    // A record gone meanwhile leaves nothing to read.
    const PelloraImagePtr record = work->record.lock();
    if (work->stage == ThumbnailQueue::Stage::Thumbnail) {
        if (record) readThumbnail(record);
        return;
    }
    if (!record) {
        _waiting.cancel(work->key);
        return;
    }
    readPixelSize(record);
    if (_waiting.sizeRead(work->key)) startWorker();
}

// On a worker thread.
void ThumbnailCache::readPixelSize(const PelloraImagePtr& record) {
    const Size upright = record->uprightInputSize();
    const QSize pixelSize(static_cast<int>(upright.width), static_cast<int>(upright.height));
    QMetaObject::invokeMethod(
        this,
        [this, weakRecord = std::weak_ptr<PelloraImage>(record), pixelSize] {
            const PelloraImagePtr shown = weakRecord.lock();
            if (Entry* entry = liveEntry(shown)) {
                entry->pixelSize = pixelSize;
                emit pixelSizeReady(shown.get());
            }
        },
        Qt::QueuedConnection);
}

// On a worker thread.
void ThumbnailCache::readThumbnail(const PelloraImagePtr& record) {
    QMetaObject::invokeMethod(
        this,
        [this, weakRecord = std::weak_ptr<PelloraImage>(record), thumbnail = thumbnailOfRecord(*record)]() mutable {
            const PelloraImagePtr shown = weakRecord.lock();
            if (Entry* entry = liveEntry(shown)) {
                entry->thumbnail = std::move(thumbnail);
                entry->ready = true;
                emit thumbnailReady(shown.get());
            }
        },
        Qt::QueuedConnection);
}

ThumbnailCache::Entry* ThumbnailCache::liveEntry(const PelloraImagePtr& record) {
    if (!record) {
        return nullptr;
    }
    const auto found = _entries.find(record.get());
    if (found == _entries.end() || found->second.record.lock() != record) {
        return nullptr;
    }
    return &found->second;
}

void ThumbnailCache::keepOnlyRecords(const std::vector<PelloraImagePtr>& records) {
    std::unordered_map<const PelloraImage*, const PelloraImagePtr*> kept;
    kept.reserve(records.size());
    for (const PelloraImagePtr& record : records) kept.emplace(record.get(), &record);
    std::erase_if(_entries, [&](const auto& entry) {
        const auto found = kept.find(entry.first);
        if (found != kept.end() && entry.second.record.lock() == *found->second) return false;
        _waiting.cancel(entry.first);
        return true;
    });
}

} // namespace pellora
