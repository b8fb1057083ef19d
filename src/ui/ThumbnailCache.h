#pragma once

#include <QImage>
#include <QObject>
#include <QSizeF>
#include <QThreadPool>
#include <memory>
#include <unordered_map>

namespace pellora {

class PelloraImage;
using PelloraImagePtr = std::shared_ptr<PelloraImage>;

// The list's thumbnails, made on worker threads and handed to the main thread.
// Asking for a thumbnail that is not ready starts making it (once per record)
// and answers null; thumbnailReady tells when it has arrived. The most recent
// requests run first, so the rows on screen are served before rows scrolled past.
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
    // Forgets the thumbnails of records that are gone.
    void removeUnusedEntries();
    // True while requested thumbnails are still being made.
    bool isMakingThumbnails() const { return _pool.activeThreadCount() > 0; }

signals:
    void thumbnailReady(const pellora::PelloraImage* record);

private:
    struct Entry {
        std::weak_ptr<PelloraImage> record;
        bool ready = false;
        Thumbnail thumbnail;
    };
    void store(const std::weak_ptr<PelloraImage>& record, Thumbnail thumbnail);

    std::unordered_map<const PelloraImage*, Entry> _entries;
    QThreadPool _pool;
    int _nextPriority = 0;
};

} // namespace pellora
