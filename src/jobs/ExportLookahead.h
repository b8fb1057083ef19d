#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <semaphore>
#include <string>
#include <vector>

namespace pellora {

class PelloraImage;
using PelloraImagePtr = std::shared_ptr<PelloraImage>;

// A record's export done ahead of its turn: the output encoded into a hidden
// file beside the output path, and the lines the work logged, kept back so
// that they are logged when (and only if) the export thread uses the result.
struct PreparedExport {
    bool attempted = false;  // false: not done, the output being there to skip when the work began
    std::vector<std::string> limitLines;  // logged while the pixel limits were found
    std::vector<std::string> writeLines;  // logged while the output was rendered and encoded
    std::string temporaryPath;        // empty: nothing was written
    bool tooLarge = false;            // refused: more pixel memory than the process allows

    // Removes the temporary file, if any.
    void discard();
};

// The export's worker threads: prepares the records at the front of the list
// while the export thread commits the first of them. One record more than
// there are workers is kept in hand, so that the workers stay busy while a
// record is committed, but no more than the workers run at once. Memory stays
// bounded by the number of workers; the work for a record that
// is no longer at the front (removed from the list, or the job canceled) is
// discarded, temporary file and all.
class ExportLookahead {
public:
    using Prepare = std::function<PreparedExport(const PelloraImagePtr& record)>;

    // workers 0: defaultWorkerCount().
    ExportLookahead(std::size_t workers, Prepare prepare);
    ~ExportLookahead() { discardAll(); }
    ExportLookahead(const ExportLookahead&) = delete;
    ExportLookahead& operator=(const ExportLookahead&) = delete;

    // The number of workers for this machine: one per core, at least one.
    static std::size_t defaultWorkerCount();

    // The number of records at the front of the list that follow() takes.
    std::size_t window() const { return _workers + 1; }
    // Makes the records at the front of the list (its first window() records,
    // or more) the ones in preparation: keeps the work for those still
    // in their place, discards the rest and starts work for the newcomers.
    void follow(const std::vector<PelloraImagePtr>& front);
    // Waits for the first record's preparation and hands it over.
    PreparedExport takeFirst();
    // Waits for the work under way (a record each at most) and discards it all.
    void discardAll();

private:
    struct Ahead {
        PelloraImagePtr record;
        std::future<PreparedExport> prepared;
    };

    const std::size_t _workers;
    const Prepare _prepare;
    std::counting_semaphore<> _running;  // a slot per worker
    std::atomic<bool> _discarding{false};
    std::deque<Ahead> _ahead;
};

} // namespace pellora
