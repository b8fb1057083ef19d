#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pellora {

// What an export would do with each record, judged from names alone (no
// decoding): the check made before an export starts, and a dry run's answer.
enum class PlannedOutcome {
    Write,  // the output would be written
    Skip,   // overwriting is off and the output exists already
    Clash,  // an earlier record of the same export writes this output path
};

struct PlannedOutput {
    std::string inputPath;
    std::string outputPath;
    PlannedOutcome outcome;
};

struct ExportPlan {
    std::vector<PlannedOutput> outputs;  // in list order
    std::size_t clashCount = 0;
    std::size_t existingCount = 0;  // outputs that exist and will be skipped (overwriting off)

    bool hasConflicts() const { return clashCount > 0 || existingCount > 0; }
};

// The plan for exporting these (input path, output path) pairs in list order.
// A record whose output path an earlier record writes clashes, whether
// overwriting is on or off; with overwriting off, an output that exists now is
// skipped (and a later record of the same name is skipped too, since nothing
// of this export wrote it).
ExportPlan planExport(const std::vector<std::pair<std::string, std::string>>& inputsAndOutputs, bool overwrite);

} // namespace pellora
