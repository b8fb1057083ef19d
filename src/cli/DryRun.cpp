#include "cli/DryRun.h"

#include <cstdio>
#include <fmt/format.h>

#include "cli/BatchRun.h"
#include "cli/DisplayText.h"
#include "jobs/ExportPlan.h"
#include "jobs/ExportSettings.h"
#include "model/PelloraImage.h"
#include "platform/foundation/UserDefaults.h"

namespace pellora::cli {

int printDryRun(const std::vector<PelloraImagePtr>& records, const std::string& folder, unsigned jobs) {
    const ExportSettings settings =
        ExportSettings::readFrom(UserDefaultsController::sharedUserDefaultsController().defaults());
    std::vector<std::pair<std::string, std::string>> inputsAndOutputs;
    inputsAndOutputs.reserve(records.size());
    for (const PelloraImagePtr& record : records) {
        inputsAndOutputs.emplace_back(record->inputPath(), outputPathForRecord(folder, *record, settings.extension));
    }
    const ExportPlan plan = planExport(inputsAndOutputs, settings.overwrite);
    for (const PlannedOutput& output : plan.outputs) {
        const char* word = output.outcome == PlannedOutcome::Write ? "write"
                           : output.outcome == PlannedOutcome::Skip ? "skip "
                                                                     : "clash";
        std::printf("%s %s -> %s\n", word, displayText(output.inputPath).c_str(),
                    displayText(output.outputPath).c_str());
    }
    const std::size_t toWrite = plan.outputs.size() - plan.clashCount - plan.existingCount;
    std::printf("%s\n", fmt::format("Dry run: {} to write, {} to skip, {} clashing; {} {}", toWrite, plan.existingCount,
                                    plan.clashCount, jobs, jobs == 1 ? "job" : "jobs")
                            .c_str());
    return plan.clashCount > 0 ? kExitFailure : kExitSuccess;
}

} // namespace pellora::cli
