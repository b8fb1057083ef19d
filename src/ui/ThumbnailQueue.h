#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace pellora {

class PelloraImage;

// The records waiting for a worker to read their files, the highest priority
// first, in two stages: every waiting record's size (from its header, quick)
// before any thumbnail (a decode, slow), so that the list's size column fills
// at once. Filled and reordered on the main thread, emptied by the workers.
class ThumbnailQueue {
public:
    enum class Stage { Size, Thumbnail };
    struct Work {
        const PelloraImage* key;
        std::weak_ptr<PelloraImage> record;
        Stage stage = Stage::Size;
    };

    // Queues the record's size at priority.
    void schedule(const std::shared_ptr<PelloraImage>& record, int priority);
    // Moves a record still queued to priority; nothing when it is not.
    void raise(const PelloraImage* record, int priority);
    // Takes the record out of the queue, whatever its stage: no thumbnail follows.
    void cancel(const PelloraImage* record);
    // The next work: the size of the first record whose size waits, else the
    // thumbnail of the first record whose thumbnail waits; nullopt when none.
    // A record taken for its size stays queued until sizeRead.
    std::optional<Work> takeNext();
    // Queues the thumbnail of a record whose size has been read; false when
    // it was cancelled meanwhile.
    bool sizeRead(const PelloraImage* record);
    // The records queued, whatever their stage, less the thumbnails taken.
    std::size_t size() const;

private:
    struct Queued {
        const PelloraImage* key;
        std::weak_ptr<PelloraImage> record;
    };
    struct Place {
        int priority;
        enum { WaitingForSize, ReadingSize, WaitingForThumbnail } state;
    };
    mutable std::mutex _mutex;
    std::map<int, Queued> _sizes;
    std::map<int, Queued> _readingSizes;
    std::map<int, Queued> _thumbnails;
    std::unordered_map<const PelloraImage*, Place> _placeOf;

    std::map<int, Queued>& mapOf(const Place& place);
};

} // namespace pellora
