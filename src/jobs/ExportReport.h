#pragma once

#include <string>
#include <string_view>

namespace pellora {

// What the export did with one record.
enum class ExportOutcome {
    Written,  // the output file was written
    Skipped,  // overwriting is off and the output existed before the export began
    Failed,   // logged as "*** Error writing <output path>"; the reason says why
};

// Why a record failed, as the layer that failed returns it.
enum class ExportFailureReason {
    None,               // not failed
    CannotDecode,       // the source could not be read or decoded
    CannotWriteFolder,  // the destination refused the file (permissions, read-only, missing folder)
    DiskFull,           // no space (or quota) left on the destination
    WouldReplaceSource, // the output path is a source file of this export
    NameClash,          // another image of this export already wrote this output path
    TooLarge,           // the image needs more memory than the process allows for pixels
    Other,              // anything else: encoding failed, an unexpected system error
};

// The reason in plain words, for people: "cannot decode the image", ...
std::string_view plainWords(ExportFailureReason reason);

struct ExportRecordResult {
    std::string inputPath;
    std::string outputPath;
    ExportOutcome outcome;
    ExportFailureReason reason = ExportFailureReason::None;
};

// Told of each record the export has dealt with, on the main thread, just
// before the progress value that counts it. Optional: the terminal front end
// builds its summary from it; the window its report.
class ExportResultObserver {
public:
    virtual ~ExportResultObserver() = default;
    virtual void recordExported(const ExportRecordResult& result) = 0;
};

} // namespace pellora
