#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QSizeF>
#include <QThreadPool>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ui/ThumbnailQueue.h"

namespace pellora {

class PelloraImage;
using PelloraImagePtr = std::shared_ptr<PelloraImage>;

// What the list shows of each record's file, read on worker threads and handed
// to the main thread: its upright pixel size, from the header, and then its
// thumbnail. Asking for either when it is not ready starts reading the file
// (once per record) and answers nothing yet; pixelSizeReady and thumbnailReady
// tell when each has arrived. The sizes of all records asked for are read
// before any thumbnail is made. The table asks for the rows it draws, at every
// drawing: each request moves a record still waiting to the front, so the
// rows on screen are served first, and those scrolled past wait.
class ThumbnailCache : public QObject {
    Q_OBJECT

public:
    struct Thumbnail {
        QImage image;
        QSizeF size;  // the unrounded size in points; the longer side is 41
    };

    // workerCount 0: one worker a processor.
    explicit ThumbnailCache(QObject* parent = nullptr, int workerCount = 0);
    ~ThumbnailCache() override;

    // Main thread only.
    const Thumbnail* thumbnailForRecord(const PelloraImagePtr& record);
    // The picture's pixel size once turned upright; an empty size when the
    // file cannot be read. Main thread only.
    std::optional<QSize> pixelSizeForRecord(const PelloraImagePtr& record);
    // Forgets the thumbnails of records that are gone or not among records
    // (the list's), and cancels the reading of those still waiting for it.
    void keepOnlyRecords(const std::vector<PelloraImagePtr>& records);
    // True while requested thumbnails are still being made.
    bool isMakingThumbnails() const { return _pool.activeThreadCount() > 0; }
    // How many records wait for their size or their thumbnail to be started.
    std::size_t waitingCount() const { return _waiting.size(); }

signals:
    void pixelSizeReady(const pellora::PelloraImage* record);
    void thumbnailReady(const pellora::PelloraImage* record);

private:
    struct Entry {
        std::weak_ptr<PelloraImage> record;
        std::optional<QSize> pixelSize;
        bool ready = false;
        Thumbnail thumbnail;
    };
    // The record's entry; a new one starts the worker that fills it.
    Entry& entryForRecord(const PelloraImagePtr& record);
    void startWorker();
    // On a worker: the first piece of work waiting, a record's size or its thumbnail.
    void readNext();
    void readPixelSize(const PelloraImagePtr& record);
    void readThumbnail(const PelloraImagePtr& record);
    // The entry of a record that still exists and is still the entry's, or null.
    Entry* liveEntry(const PelloraImagePtr& record);

    std::unordered_map<const PelloraImage*, Entry> _entries;
    ThumbnailQueue _waiting;
    QThreadPool _pool;
    int _nextPriority = 0;
};

} // namespace pellora
