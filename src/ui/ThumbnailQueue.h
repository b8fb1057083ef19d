#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace pellora {

class PelloraImage;

// The records waiting for a worker to read their files, the highest priority
// first. Filled and reordered on the main thread, emptied by the workers.
class ThumbnailQueue {
public:
    // Queues the record at priority, or moves it there when it is waiting already.
    void schedule(const std::shared_ptr<PelloraImage>& record, int priority);
    // Moves a waiting record to priority; nothing when it is not waiting.
    void raise(const PelloraImage* record, int priority);
    // Takes the record out of the queue, if it is waiting.
    void cancel(const PelloraImage* record);
    // The waiting record of the highest priority, taken out of the queue; an
    // empty reference when none waits.
    std::weak_ptr<PelloraImage> takeNext();
    std::size_t size() const;

private:
    struct Waiting {
        const PelloraImage* key;
        std::weak_ptr<PelloraImage> record;
    };
    mutable std::mutex _mutex;
    std::map<int, Waiting> _byPriority;
    std::unordered_map<const PelloraImage*, int> _priorityOf;
};

} // namespace pellora
