// The export operations of the batch controller: the export button's
// start/stop and folder creation, and the export thread with its workers.
#include <fmt/format.h>
#include <sys/stat.h>
#include <unordered_set>

#include "jobs/BatchController.h"
#include "jobs/ExportLookahead.h"
#include "jobs/ExportSettings.h"
#include "jobs/SourceFileSet.h"
#include "jobs/WindowStateSink.h"
#include "model/PelloraImage.h"
#include "model/RecordPixelReservation.h"
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
        if (settings.scalingMethod == ScalingMethod::Percentage) {
            limits = percentageLimits(record.uprightInputSize(), defaults.floatForKey(QVXDefaultsKey_scalingPercentage));
        }
        record.setMaxWidth(limits.maxWidth);
        record.setMaxHeight(limits.maxHeight);
    });
    prepared.writeLines = Log::collectLines([&] {
        // Held for rendering and encoding only: given back before the commit,
        // so that workers never wait on the order in which outputs are committed.
        const RecordPixelReservation pixels(record, settings.type);
        if (pixels.refused()) {
            prepared.failure = ExportFailureReason::TooLarge;
            return;
        }
        PelloraImage::PendingOutput output = record.writeToPendingFile(outputPath, settings.type, settings.properties);
        prepared.output = std::move(output.file);
        prepared.failure = output.failure;
    });
    return prepared;
}

// What the export has learnt so far, for deciding about the next record.
struct ExportState {
    const ExportSettings& settings;
    const UserDefaults& defaults;
    SourceFileSet sources;                          // no output may replace one of them
    std::unordered_set<std::string> writtenOutputs; // no output of this export is replaced by another
};

// Decides about one record at its turn and puts its output in place: sets
// the result's outcome and reason and logs the record's lines in list order.
void commitRecord(PelloraImage& record, PreparedExport& prepared, ExportState& state, ExportRecordResult& result) {
    const std::string& outputPath = result.outputPath;
    const auto fail = [&result](ExportFailureReason reason) {
        result.outcome = ExportOutcome::Failed;
        result.reason = reason != ExportFailureReason::None ? reason : ExportFailureReason::Other;
    };
    if (state.writtenOutputs.count(outputPath) != 0) {
        // Checked before existence: overwriting or not, an output this export
        // made is never replaced or taken for an old one.
        prepared.discard();
        Log::line(fmt::format("*** Error: {} was written for another image of this export and is not replaced",
                              outputPath));
        fail(ExportFailureReason::NameClash);
    } else if (!state.settings.overwrite && anythingExistsAtPath(outputPath)) {
        prepared.discard();
        result.outcome = ExportOutcome::Skipped;
    } else {
        if (!prepared.attempted) prepared = prepareOutput(record, outputPath, state.settings, state.defaults);
        Log::lines(prepared.limitLines);
        if (state.sources.containsFileAtPath(outputPath)) {
            prepared.discard();
            Log::line(fmt::format("*** Error: {} is a source file of this export and is never replaced", outputPath));
            fail(ExportFailureReason::WouldReplaceSource);
        } else {
            Log::lines(prepared.writeLines);
            if (!prepared.output.isOpen()) {
                fail(prepared.failure);
            } else {
                switch (prepared.output.commit(state.settings.overwrite)) {
                case PendingFile::Commit::Done:
                    result.outcome = ExportOutcome::Written;
                    state.writtenOutputs.insert(outputPath);
                    break;
                case PendingFile::Commit::NameTaken:  // made by someone else since it was checked
                    result.outcome = ExportOutcome::Skipped;
                    break;
                case PendingFile::Commit::Failed:
                    fail(failureReasonForError(prepared.output.error()));
                    break;
                }
            }
        }
    }
    if (result.outcome == ExportOutcome::Failed) Log::line(fmt::format("*** Error writing {}", outputPath));
}

} // namespace

std::string BatchController::imageFormatCodeForSelectionIndex(ExportFormat format) {
    switch (format) {
    case ExportFormat::JPEG: return kImageTypeJPEG;
    case ExportFormat::JPEG2000: return kImageTypeJPEG2000;
    case ExportFormat::PNG: return kImageTypePNG;
    case ExportFormat::TIFF: return kImageTypeTIFF;
    case ExportFormat::BMP: return kImageTypeBMP;
    }
    return kImageTypeJPEG;
}

void BatchController::createFoldersAlongPath(const std::string& path) {
    std::string partial;
    for (const std::string& component : path::pathComponents(path)) {
        partial = partial.empty() ? component : path::stringByAppendingPathComponent(partial, component);
        struct stat info {};
        if (::stat(partial.c_str(), &info) != 0) ::mkdir(partial.c_str(), 0777);  // umask applies
    }
}

std::string BatchController::fixedExportFolder(const UserDefaults& defaults) {
    return path::stringByExpandingTildeInPath(defaults.stringForKey(QVXDefaultsKey_exportStaticLocation));
}

BatchController::ExportButtonResult BatchController::exportButtonClicked() {
    if (_isExporting) {
        _isCanceled = true;
        return ExportButtonResult::CancelRequested;
    }
    const UserDefaults& defaults = UserDefaultsController::sharedUserDefaultsController().defaults();
    if (defaults.integerForKey(QVXDefaultsKey_exportDestination) == 0) return ExportButtonResult::DestinationNeeded;
    const std::string folder = fixedExportFolder(defaults);
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
    ExportState state{settings, defaults, {}, {}};
    for (const PelloraImagePtr& record : _pelloraImages.snapshot()) state.sources.addSourcePath(record->inputPath());

    // The workers render and encode the records not yet tried at the front of
    // the list; this thread commits them one at a time in list order, deciding
    // again whether each is written, so the outcome is that of taking them one
    // by one. Written and skipped records leave the list; failed ones stay
    // where they are, to be seen and tried again, and the walk passes them.
    ExportLookahead lookahead(_exportWorkerCount, [&folder, &settings, &defaults](const PelloraImagePtr& record) {
        const std::string outputPath = outputPathForRecord(folder, *record, settings.extension);
        if (!settings.overwrite && anythingExistsAtPath(outputPath)) return PreparedExport{};
        return prepareOutput(*record, outputPath, settings, defaults);
    });
    ExportReport report;
    std::unordered_set<PelloraImagePtr> failed;
    std::size_t done = 0;
    for (;;) {
        const std::vector<PelloraImagePtr> front = _pelloraImages.firstObjectsExcept(lookahead.window(), failed);
        if (front.empty()) break;
        if (_isCanceled) {
            report.setCanceled(true);
            break;
        }
        const PelloraImagePtr& record = front.front();
        lookahead.follow(front);
        PreparedExport prepared = lookahead.takeFirst();
        state.sources.addSourcePath(record->inputPath());
        ExportRecordResult result{record->inputPath(),
                                  outputPathForRecord(folder, *record, settings.extension),
                                  ExportOutcome::Written};
        commitRecord(*record, prepared, state, result);
        record->setLastExportFailure(result.reason);
        if (result.outcome == ExportOutcome::Failed) {
            failed.insert(record);
        } else {
            _pelloraImages.removeObject(record);
        }
        report.add(result);
        const double value = static_cast<double>(++done);
        _mainThread.post([this, result = std::move(result), value] {
            if (ExportResultObserver* observer = _exportResultObserver.load()) observer->recordExported(result);
            _window.setProgressValue(value);
        });
    }
    // Work done ahead for records that stay in the list (canceled) is dropped.
    lookahead.discardAll();
    {
        std::lock_guard lock(_lastExportReportMutex);
        _lastExportReport = report;
    }

    _isExporting = false;
    _isCanceled = false;
    _mainThread.postAndWait([this] { _window.reloadData(); });
    _mainThread.post([this] { _window.updateInterface(); });
    _mainThread.post([this, report = std::move(report)] {
        if (ExportResultObserver* observer = _exportResultObserver.load()) observer->exportFinished(report);
    });
}

ExportReport BatchController::lastExportReport() const {
    std::lock_guard lock(_lastExportReportMutex);
    return _lastExportReport;
}

ExportPlan BatchController::planExportToPath(const std::string& folder) const {
    const ExportSettings settings =
        ExportSettings::readFrom(UserDefaultsController::sharedUserDefaultsController().defaults());
    std::vector<std::pair<std::string, std::string>> inputsAndOutputs;
    for (const PelloraImagePtr& record : _pelloraImages.snapshot()) {
        inputsAndOutputs.emplace_back(record->inputPath(),
                                      outputPathForSource(folder, record->inputPath(), settings.extension));
    }
    return planExport(inputsAndOutputs, settings.overwrite);
}

} // namespace pellora
