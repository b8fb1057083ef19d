// The export operations of the batch controller: the export button's
// start/stop and folder creation, and the export thread with its workers.
#include <fmt/format.h>
#include <sys/stat.h>

#include "jobs/BatchController.h"
#include "jobs/ExportLookahead.h"
#include "jobs/ExportSettings.h"
#include "jobs/SourceFileSet.h"
#include "jobs/WindowStateSink.h"
#include "model/PelloraImage.h"
#include "model/RecordReadOnce.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/TypeIdentifiers.h"

namespace pellora {
namespace {

bool anythingExistsAtPath(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// The record's size as seen upright: turned orientations (tags 5 to 8) swap
// the stored sides, so that a percentage limits the sides the viewer sees.
Size uprightInputSize(PelloraImage& record) {
    const Size stored = record.inputSize();
    if (stored.width <= 0 || stored.height <= 0) return stored;  // unreadable: it fails when written
    if (!isTurnedOrientation(orientationTagOf(record.inputMetadata()))) return stored;
    return Size{stored.height, stored.width};
}

// The work of writing a record's output, short of putting it in place: sets
// the record's limits (the percentage read now) and encodes the output into a
// temporary file beside outputPath. The lines logged are kept for the commit.
PreparedExport prepareOutput(PelloraImage& record, const std::string& outputPath, const ExportSettings& settings,
                             const UserDefaults& defaults) {
    const RecordReadOnce fileReadOnce(record);
    PreparedExport prepared;
    prepared.attempted = true;
    prepared.limitLines = Log::collectLines([&] {
        PixelLimits limits{settings.maxWidth, settings.maxHeight};
        if (settings.scalingMethod == 2) {
            limits = percentageLimits(uprightInputSize(record), defaults.floatForKey(QVXDefaultsKey_scalingPercentage));
        }
        record.setMaxWidth(limits.maxWidth);
        record.setMaxHeight(limits.maxHeight);
    });
    prepared.writeLines = Log::collectLines([&] {
        prepared.temporaryPath = record.writeToTemporaryFileBeside(outputPath, settings.type, settings.properties);
    });
    return prepared;
}

} // namespace

std::string BatchController::imageFormatCodeForSelectionIndex(int index) {
    switch (index) {
    case 1: return kUTTypeJPEG2000;
    case 2: return kUTTypePNG;
    case 3: return kUTTypeTIFF;
    case 4: return kUTTypeBMP;
    default: return kUTTypeJPEG;
    }
}

void BatchController::createFoldersAlongPath(const std::string& path) {
    std::string partial;
    for (const std::string& component : path::pathComponents(path)) {
        partial = partial.empty() ? component : path::stringByAppendingPathComponent(partial, component);
        struct stat info {};
        if (::stat(partial.c_str(), &info) != 0) ::mkdir(partial.c_str(), 0777);  // umask applies
    }
}

BatchController::ExportButtonResult BatchController::exportButtonClicked() {
    if (_isExporting) {
        _isCanceled = true;
        return ExportButtonResult::CancelRequested;
    }
    const UserDefaults& defaults = UserDefaultsController::sharedUserDefaultsController().defaults();
    if (defaults.integerForKey(QVXDefaultsKey_exportDestination) == 0) return ExportButtonResult::DestinationNeeded;
    // A path edited by hand may start with "~": it means the home folder, not a folder named "~".
    const std::string folder = path::stringByExpandingTildeInPath(defaults.stringForKey(QVXDefaultsKey_exportStaticLocation));
    createFoldersAlongPath(folder);
    exportImagesToPath(folder);
    return ExportButtonResult::Started;
}

bool BatchController::exportImagesToPath(const std::string& folder) {
    if (_isExporting.exchange(true)) {
        Log::line(fmt::format("BatchController: an export is running; not starting another into {}", folder));
        return false;
    }
    _window.updateInterface();
    _window.readyProgressBarWithMax(static_cast<double>(_pelloraImages.count()));
    _isCanceled = false;
    _threads.start([this, folder] { _exportImagesToPath(folder); });
    return true;
}

void BatchController::_exportImagesToPath(const std::string& folder) {
    const UserDefaults& defaults = UserDefaultsController::sharedUserDefaultsController().defaults();
    const ExportSettings settings = ExportSettings::readFrom(defaults);

    // No output may replace a source: neither one listed now nor one added
    // while the job runs (each is added when the job reaches it).
    SourceFileSet sources;
    for (const PelloraImagePtr& record : _pelloraImages.snapshot()) sources.addSourcePath(record->inputPath());

    // The workers render and encode the records at the front of the list; this
    // thread commits them one at a time in list order, deciding again whether
    // each is written, so the outcome is that of taking them one by one.
    ExportLookahead lookahead(_exportWorkerCount, [&folder, &settings, &defaults](const PelloraImagePtr& record) {
        const std::string outputPath = outputPathForSource(folder, record->inputPath(), settings.extension);
        if (!settings.overwrite && anythingExistsAtPath(outputPath)) return PreparedExport{};
        return prepareOutput(*record, outputPath, settings, defaults);
    });
    std::size_t done = 0;
    while (!_pelloraImages.empty()) {
        if (_isCanceled) break;
        const std::vector<PelloraImagePtr> front = _pelloraImages.firstObjects(lookahead.window());
        if (front.empty()) break;
        const PelloraImagePtr& record = front.front();
        lookahead.follow(front);
        PreparedExport prepared = lookahead.takeFirst();
        sources.addSourcePath(record->inputPath());
        ExportRecordResult result{record->inputPath(),
                                  outputPathForSource(folder, record->inputPath(), settings.extension),
                                  ExportOutcome::Written};
        if (!settings.overwrite && anythingExistsAtPath(result.outputPath)) {
            prepared.discard();
            result.outcome = ExportOutcome::Skipped;
        } else {
            if (!prepared.attempted) prepared = prepareOutput(*record, result.outputPath, settings, defaults);
            Log::lines(prepared.limitLines);
            bool written = false;
            if (sources.containsFileAtPath(result.outputPath)) {
                prepared.discard();
                Log::line(fmt::format("*** Error: {} is a source file of this export and is never replaced",
                                      result.outputPath));
            } else {
                Log::lines(prepared.writeLines);
                written = !prepared.temporaryPath.empty() &&
                          commitTemporaryFile(prepared.temporaryPath, result.outputPath);
            }
            if (!written) {
                Log::line(fmt::format("*** Error writing {}", result.outputPath));
                result.outcome = ExportOutcome::Failed;
            }
        }
        _pelloraImages.removeFirstObjectIfSame(record);
        const double value = static_cast<double>(++done);
        _mainThread.post([this, result = std::move(result), value] {
            if (ExportResultObserver* observer = _exportResultObserver.load()) observer->recordExported(result);
            _window.setProgressValue(value);
        });
    }
    // Work done ahead for records that stay in the list (canceled) is dropped.
    lookahead.discardAll();

    _isExporting = false;
    _isCanceled = false;
    _mainThread.postAndWait([this] { _window.reloadData(); });
    _mainThread.post([this] { _window.updateInterface(); });
}

} // namespace pellora
