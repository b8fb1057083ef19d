#pragma once

#include <string>

namespace pellora {

// What the export did with one record.
enum class ExportOutcome {
    Written,  // the output file was written
    Skipped,  // overwriting is off and something already exists at the output path
    Failed,   // logged as "*** Error writing <output path>"
};

struct ExportRecordResult {
    std::string inputPath;
    std::string outputPath;
    ExportOutcome outcome;
};

// Told of each record the export has dealt with, on the main thread, just
// before the progress value that counts it. Optional: the terminal front end
// builds its summary from it; the window has no use for it.
class ExportResultObserver {
public:
    virtual ~ExportResultObserver() = default;
    virtual void recordExported(const ExportRecordResult& result) = 0;
};

} // namespace pellora
