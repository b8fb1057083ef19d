#include "jobs/ExportReport.h"

#include <fmt/format.h>

namespace pellora {

std::string_view plainWords(ExportFailureReason reason) {
    switch (reason) {
    case ExportFailureReason::None: return "";
    case ExportFailureReason::CannotDecode: return "cannot decode the image";
    case ExportFailureReason::CannotWriteFolder: return "cannot write to the folder";
    case ExportFailureReason::DiskFull: return "the disk is full";
    case ExportFailureReason::WouldReplaceSource: return "would replace a source image";
    case ExportFailureReason::NameClash: return "another image in this export has the same name";
    case ExportFailureReason::TooLarge: return "the image needs more memory than allowed";
    case ExportFailureReason::Other: return "cannot write the image";
    }
    return "cannot write the image";
}

void ExportReport::add(ExportRecordResult result) {
    ++_counts[static_cast<std::size_t>(result.outcome)];
    _results.push_back(std::move(result));
}

std::size_t ExportReport::count(ExportOutcome outcome) const { return _counts[static_cast<std::size_t>(outcome)]; }

std::vector<ExportRecordResult> ExportReport::skippedAndFailed() const {
    std::vector<ExportRecordResult> told;
    for (const ExportRecordResult& result : _results) {
        if (result.outcome != ExportOutcome::Written) told.push_back(result);
    }
    return told;
}

std::string ExportReport::countsText() const {
    return fmt::format("{} written, {} skipped, {} failed", count(ExportOutcome::Written),
                       count(ExportOutcome::Skipped), count(ExportOutcome::Failed));
}

} // namespace pellora
