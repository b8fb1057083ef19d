#include "jobs/ExportPlan.h"

#include <sys/stat.h>
#include <unordered_set>

namespace pellora {

ExportPlan planExport(const std::vector<std::pair<std::string, std::string>>& inputsAndOutputs, bool overwrite) {
    ExportPlan plan;
    plan.outputs.reserve(inputsAndOutputs.size());
    std::unordered_set<std::string> written;
    for (const auto& [inputPath, outputPath] : inputsAndOutputs) {
        PlannedOutcome outcome = PlannedOutcome::Write;
        struct stat info {};
        if (written.count(outputPath) != 0) {
            outcome = PlannedOutcome::Clash;
            ++plan.clashCount;
        } else if (!overwrite && ::lstat(outputPath.c_str(), &info) == 0) {
            outcome = PlannedOutcome::Skip;
            ++plan.existingCount;
        } else {
            written.insert(outputPath);
        }
        plan.outputs.push_back(PlannedOutput{inputPath, outputPath, outcome});
    }
    return plan;
}

} // namespace pellora
