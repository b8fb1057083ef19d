#include "cli/BatchRun.h"

#include <atomic>
#include <cstdio>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/BatchOptions.h"
#include "cli/DisplayText.h"
#include "cli/InterruptWatcher.h"
#include "cli/TerminalReporter.h"
#include "jobs/BatchController.h"
#include "model/PelloraImage.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
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

std::vector<std::string> pathsOf(const std::vector<PelloraImagePtr>& records) {
    std::vector<std::string> paths;
    paths.reserve(records.size());
    for (const PelloraImagePtr& record : records) paths.push_back(record->inputPath());
    return paths;
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

    // Ctrl-C asks the running export to stop after its current file. The
    // watcher comes first: the threads started later inherit its signal mask.
    std::atomic<BatchController*> running{nullptr};
    InterruptWatcher interrupts([&running](int) {
        if (BatchController* controller = running.load(); controller && controller->isExporting()) {
            controller->setIsCanceled(true);
        }
    });

    registerDefaults();
    UserDefaults& defaults = UserDefaultsController::sharedUserDefaultsController().defaults();
    const int exportFormat = options->exportFormat.value_or(defaults.integerForKey(QVXDefaultsKey_exportFormat));
    const std::string type = BatchController::imageFormatCodeForSelectionIndex(exportFormat);
    if (options->quality && type != kUTTypeJPEG && type != kUTTypeJPEG2000) {
        return usageError("--quality applies to the jpeg and jp2 formats only");
    }
    // The options answer before the stored settings for this run; nothing is written back.
    defaults.setArgumentDomain(options->settingsOverrides(exportFormat));
    if (defaults.integerForKey(QVXDefaultsKey_exportDestination) == 0) {
        return usageError("the settings ask for the destination folder at each export; give one with --output DIR");
    }

    TerminalReporter reporter(::isatty(STDOUT_FILENO) == 1);
    LogToReporter logToReporter(reporter);
    InlineDispatcher mainThread;
    BatchController controller(mainThread, reporter);
    controller.setExportResultObserver(&reporter);
    running = &controller;

    reporter.beginPhase(TerminalReporter::Phase::Import);
    controller.importImageFilesAtPaths(options->paths);
    controller.waitUntilIdle();
    reporter.endPhase();
    if (controller.pelloraImages().empty()) {
        reporter.printLogLine("pellora-batch: no image files among the given paths");
        running = nullptr;
        return kExitFailure;
    }

    if (interrupts.signalReceived() == 0) {
        const std::string folder =
            path::stringByExpandingTildeInPath(defaults.stringForKey(QVXDefaultsKey_exportStaticLocation));
        BatchController::createFoldersAlongPath(folder);
        if (!isFolder(folder)) {
            reporter.printLogLine(fmt::format("pellora-batch: cannot create the destination folder {}", folder));
            running = nullptr;
            return kExitFailure;
        }
        reporter.beginPhase(TerminalReporter::Phase::Export);
        controller.exportButtonClicked();
        // A signal that came while the export was starting found no export to cancel yet.
        if (interrupts.signalReceived() != 0) controller.setIsCanceled(true);
        controller.waitUntilIdle();
        reporter.endPhase();
    }
    running = nullptr;

    const int signal = interrupts.signalReceived();
    reporter.printSummary(signal != 0 ? pathsOf(controller.pelloraImages().snapshot()) : std::vector<std::string>{});
    if (signal != 0) return kExitInterrupted + signal;
    return reporter.failedCount() > 0 ? kExitFailure : kExitSuccess;
}

} // namespace pellora::cli
