#include "cli/BatchRun.h"

#include <atomic>
#include <cstdio>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

#include "cli/BatchOptions.h"
#include "cli/DisplayText.h"
#include "cli/DryRun.h"
#include "cli/InterruptWatcher.h"
#include "cli/JsonReport.h"
#include "cli/ProcessorCount.h"
#include "cli/RunInputs.h"
#include "cli/TerminalReporter.h"
#include "jobs/BatchController.h"
#include "model/PelloraImage.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/TypeIdentifiers.h"

namespace pellora::cli {
namespace {

int usageError(const std::string& message) {
    std::fprintf(stderr, "pellora-batch: %s\nTry 'pellora-batch --help'.\n", displayText(message).c_str());
    return kExitUsage;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The records the export has not tried: those that failed stay in the list
// too, but are listed with their reasons instead.
std::vector<std::string> pathsNotExported(const std::vector<PelloraImagePtr>& records) {
    std::vector<std::string> paths;
    for (const PelloraImagePtr& record : records) {
        if (record->lastExportFailure() == ExportFailureReason::None) paths.push_back(record->inputPath());
    }
    return paths;
}

std::vector<std::string> pathsOf(const std::vector<BatchInput>& inputs) {
    std::vector<std::string> paths;
    paths.reserve(inputs.size());
    for (const BatchInput& input : inputs) paths.push_back(input.path);
    return paths;
}

// Gives each record the output sub-folder of its input (the import keeps the
// inputs' order and holds each path once).
void setOutputSubfolders(const std::vector<PelloraImagePtr>& records, const std::vector<BatchInput>& inputs) {
    std::unordered_map<std::string, std::string> subfolders;
    for (const BatchInput& input : inputs) {
        if (!input.outputSubfolder.empty()) subfolders.emplace(input.path, input.outputSubfolder);
    }
    for (const PelloraImagePtr& record : records) {
        if (const auto found = subfolders.find(record->inputPath()); found != subfolders.end()) {
            record->setOutputSubfolder(found->second);
        }
    }
}

// The destination and every output sub-folder below it, where missing.
void createOutputFolders(const std::string& folder, const std::vector<BatchInput>& inputs) {
    BatchController::createFoldersAlongPath(folder);
    std::unordered_set<std::string> created;
    for (const BatchInput& input : inputs) {
        if (!input.outputSubfolder.empty() && created.insert(input.outputSubfolder).second) {
            BatchController::createFoldersAlongPath(folder + "/" + input.outputSubfolder);
        }
    }
}

// Removes the log hook when the run ends, before the reporter goes away.
struct LogToReporter {
    explicit LogToReporter(TerminalReporter& reporter) {
        Log::setCapture([&reporter](const std::string& line) { reporter.printLogLine(line); });
    }
    ~LogToReporter() { Log::setCapture({}); }
};

} // namespace

int runBatch(const std::vector<std::string>& arguments) {
    std::string error;
    const std::optional<BatchOptions> options = parseBatchOptions(arguments, error);
    if (!options) return usageError(error);
    if (options->help) {
        std::fputs(usageText().c_str(), stdout);
        return kExitSuccess;
    }
    if (options->version) {
        std::printf("pellora-batch %s\n", PELLORA_VERSION);
        return kExitSuccess;
    }

    // Ctrl-C, SIGTERM and a closed terminal ask the running export to stop after its current file. The
    // watcher comes first: the threads started later inherit its signal mask.
    std::atomic<BatchController*> running{nullptr};
    InterruptWatcher interrupts([&running](int) {
        if (BatchController* controller = running.load(); controller && controller->isExporting()) {
            controller->setIsCanceled(true);
        }
    });

    registerDefaults();
    UserDefaults& defaults = UserDefaultsController::sharedUserDefaultsController().defaults();
    const ExportFormat exportFormat =
        options->exportFormat.value_or(exportFormatFromStored(defaults.integerForKey(QVXDefaultsKey_exportFormat)));
    const std::string type = BatchController::imageFormatCodeForSelectionIndex(exportFormat);
    if (options->quality && type != kImageTypeJPEG && type != kImageTypeJPEG2000) {
        return usageError("--quality applies to the jpeg and jp2 formats only");
    }
    // The options answer before the stored settings for this run; nothing is written back.
    defaults.setArgumentDomain(options->settingsOverrides(exportFormat));
    if (defaults.integerForKey(QVXDefaultsKey_exportDestination) == 0) {
        return usageError("the settings ask for the destination folder at each export; give one with --output DIR");
    }

    const std::optional<RunInputs> run = runInputsFor(*options, error);
    if (!run) return usageError(error);

    TerminalReporter reporter(::isatty(STDOUT_FILENO) == 1);
    std::unique_ptr<JsonLinesReport> report;
    if (options->report && !options->dryRun) {
        report = JsonLinesReport::create(*options->report, reporter, error);
        if (!report) return usageError(error);
    }
    LogToReporter logToReporter(reporter);
    InlineDispatcher mainThread;
    BatchController controller(mainThread, reporter);
    controller.setExportResultObserver(report ? static_cast<ExportResultObserver*>(report.get()) : &reporter);
    const unsigned jobs = options->jobs ? static_cast<unsigned>(*options->jobs) : usableProcessorCount();
    controller.setExportWorkerCount(jobs);
    running = &controller;

    reporter.beginPhase(TerminalReporter::Phase::Import);
    controller.importImageFilesAtPaths(pathsOf(run->inputs));
    controller.waitUntilIdle();
    reporter.endPhase();
    for (const std::string& folder : run->foldersNotRead) reporter.folderNotRead(folder);
    for (const std::string& folder : controller.foldersNotRead()) reporter.folderNotRead(folder);
    if (run->allShardsCount == 0) {
        reporter.printLogLine("pellora-batch: no image files among the given paths");
        running = nullptr;
        return kExitFailure;
    }
    setOutputSubfolders(controller.pelloraImages().snapshot(), run->inputs);
    const std::string folder = BatchController::fixedExportFolder(defaults);
    if (options->dryRun) {
        running = nullptr;
        return printDryRun(controller.pelloraImages().snapshot(), folder, jobs);
    }

    // An empty shard (more shards than files) has nothing to do and succeeds.
    if (interrupts.signalReceived() == 0 && !controller.pelloraImages().empty()) {
        createOutputFolders(folder, run->inputs);
        if (!isFolder(folder)) {
            reporter.printLogLine(fmt::format("pellora-batch: cannot create the destination folder {}", folder));
            running = nullptr;
            return kExitFailure;
        }
        reporter.beginPhase(TerminalReporter::Phase::Export);
        if (report) report->exportStarts();
        controller.exportButtonClicked();
        // A signal that came while the export was starting found no export to cancel yet.
        if (interrupts.signalReceived() != 0) controller.setIsCanceled(true);
        controller.waitUntilIdle();
        reporter.endPhase();
    }
    running = nullptr;

    const int signal = interrupts.signalReceived();
    reporter.printSummary(signal != 0 ? pathsNotExported(controller.pelloraImages().snapshot())
                                      : std::vector<std::string>{});
    if (signal != 0) return kExitInterrupted + signal;
    return reporter.failedCount() > 0 ? kExitFailure : kExitSuccess;
}

} // namespace pellora::cli
