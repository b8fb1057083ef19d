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

#include "model/ExportFailureReason.h"
#include "platform/foundation/PendingFile.h"

namespace pellora {

class PelloraImage;
using PelloraImagePtr = std::shared_ptr<PelloraImage>;

// A record's export done ahead of its turn: the output encoded into a file
// that has not taken its name yet, and the lines the work logged, kept back so
// that they are logged when (and only if) the export thread uses the result.
struct PreparedExport {
    bool attempted = false;  // false: not done, the output being there to skip when the work began
    std::vector<std::string> limitLines;  // logged while the pixel limits were found
    std::vector<std::string> writeLines;  // logged while the output was rendered and encoded
    PendingFile output;                   // not open: nothing was written, for the reason below
    ExportFailureReason failure = ExportFailureReason::None;

    // Removes the output file, if any.
    void discard() { output.discard(); }
};

// The export's worker threads: prepares the records at the front of the list
// while the export thread commits the first of them. Twice as many records as
// there are workers are kept in hand, so that a worker that finishes a record
// has another to start even while the export thread waits to be scheduled or
// for a commit's flush to disk, but no more than the workers run at once (a
// record done ahead holds only its written file). Memory stays
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
    std::size_t window() const { return 2 * _workers; }
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
