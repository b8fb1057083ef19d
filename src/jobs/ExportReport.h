#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/ExportFailureReason.h"

namespace pellora {

// What the export did with one record.
enum class ExportOutcome {
    Written,  // the output file was written
    Skipped,  // overwriting is off and the output existed before the export began
    Failed,   // logged as "*** Error writing <output path>"; the reason says why
};

// The reason in plain words, for people: "cannot decode the image", ...
std::string_view plainWords(ExportFailureReason reason);

struct ExportRecordResult {
    std::string inputPath;
    std::string outputPath;
    ExportOutcome outcome;
    ExportFailureReason reason = ExportFailureReason::None;
};

// What one export did, record by record, in the order it dealt with them.
// Records it never reached (the export was stopped) are not in it.
class ExportReport {
public:
    void add(ExportRecordResult result);
    void setCanceled(bool canceled) { _canceled = canceled; }

    const std::vector<ExportRecordResult>& results() const { return _results; }
    std::size_t count(ExportOutcome outcome) const;
    // The skipped and failed records, in order: what a person should be told.
    std::vector<ExportRecordResult> skippedAndFailed() const;
    // True when the export was stopped before the end of the list.
    bool wasCanceled() const { return _canceled; }
    // "57 written, 2 skipped, 1 failed"
    std::string countsText() const;

private:
    std::vector<ExportRecordResult> _results;
    std::size_t _counts[3] = {0, 0, 0};
    bool _canceled = false;
};

// Told of what the export does, on the main thread. Optional: the terminal
// front end builds its summary from it; the window its report.
class ExportResultObserver {
public:
    virtual ~ExportResultObserver() = default;
    // Each record the export has dealt with, just before the progress value that counts it.
    virtual void recordExported(const ExportRecordResult& result) = 0;
    // The whole report, once the export has ended (also when stopped), after
    // the table was reloaded and the window refreshed.
    virtual void exportFinished(const ExportReport& /*report*/) {}
};

} // namespace pellora
