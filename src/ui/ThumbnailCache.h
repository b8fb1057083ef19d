#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QSizeF>
#include <QThreadPool>
#include <memory>
#include <optional>
#include <unordered_map>

namespace pellora {

class PelloraImage;
using PelloraImagePtr = std::shared_ptr<PelloraImage>;

// What the list shows of each record's file, read on worker threads and handed
// to the main thread: its upright pixel size, from the header, and then its
// thumbnail. Asking for either when it is not ready starts reading the file
// (once per record) and answers nothing yet; pixelSizeReady and thumbnailReady
// tell when each has arrived. The most recent requests run first, so the rows
// on screen are served before rows scrolled past.
class ThumbnailCache : public QObject {
    Q_OBJECT

public:
    struct Thumbnail {
        QImage image;
        QSizeF size;  // the unrounded size in points; the longer side is 41
    };

    explicit ThumbnailCache(QObject* parent = nullptr);
    ~ThumbnailCache() override;

    // Main thread only.
    const Thumbnail* thumbnailForRecord(const PelloraImagePtr& record);
    // The picture's pixel size once turned upright; an empty size when the
    // file cannot be read. Main thread only.
    std::optional<QSize> pixelSizeForRecord(const PelloraImagePtr& record);
    // Forgets the thumbnails of records that are gone.
    void removeUnusedEntries();
    // True while requested thumbnails are still being made.
    bool isMakingThumbnails() const { return _pool.activeThreadCount() > 0; }

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
    void readFile(const std::weak_ptr<PelloraImage>& record);
    // The entry of a record that still exists and is still the entry's, or null.
    Entry* liveEntry(const PelloraImagePtr& record);

    std::unordered_map<const PelloraImage*, Entry> _entries;
    QThreadPool _pool;
    int _nextPriority = 0;
};

} // namespace pellora
