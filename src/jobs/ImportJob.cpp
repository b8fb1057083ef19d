// The import operations of the batch controller: the image-file test, the
// folder scan and the import thread.
#include <cerrno>
#include <cstring>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unordered_set>

#include "jobs/BatchController.h"
#include "jobs/FolderScan.h"
#include "jobs/ProgressThrottle.h"
#include "jobs/RecentDocumentsNoter.h"
#include "jobs/WindowStateSink.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/imageio/ImageFileTypes.h"

namespace pellora {
namespace {

// About 30 progress updates a second at most.
constexpr auto kImportProgressInterval = std::chrono::milliseconds(33);

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The image type list as a set: the same exact, case-sensitive membership,
// answered without walking every case form of every extension.
const std::unordered_set<std::string>& imageFileTypeSet() {
    static const std::unordered_set<std::string> types(imageFileTypes().begin(), imageFileTypes().end());
    return types;
}

// Appends the image files directly inside the folder to result, in natural
// name order; false, with errno set, when the folder cannot be listed.
bool appendImageFilePathsInFolder(const std::string& path, std::vector<std::string>& result) {
    const std::optional<std::vector<std::string>> names = folderEntryNamesInNaturalOrder(path);
    if (!names) return false;
    for (const std::string& name : *names) {
        if (BatchController::pathPointsToImageFile(name)) result.push_back(path::stringByAppendingPathComponent(path, name));
    }
    return true;
}

} // namespace

std::vector<std::string> BatchController::importCandidatesForPaths(const std::vector<std::string>& paths) {
    std::vector<std::string> candidates;
    for (const std::string& path : paths) {
        if (isFolder(path)) {
            if (!appendImageFilePathsInFolder(path, candidates)) {
                Log::line(fmt::format("BatchController: cannot read the folder {}: {}", path, std::strerror(errno)));
                std::lock_guard lock(_foldersNotReadMutex);
                _foldersNotRead.push_back(path);
            }
        } else if (pathPointsToImageFile(path)) {
            candidates.push_back(path);
        }
    }
    return candidates;
}

bool BatchController::pathPointsToImageFile(const std::string& path) {
    return imageFileTypeSet().count(path::pathExtension(path)) != 0;
}

std::vector<std::string> BatchController::imageFilePathsInDirectory(const std::string& path) {
    std::vector<std::string> result;
    if (isFolder(path)) appendImageFilePathsInFolder(path, result);
    return result;
}

std::vector<std::string> BatchController::foldersNotRead() const {
    std::lock_guard lock(_foldersNotReadMutex);
    return _foldersNotRead;
}

void BatchController::importImageFilesAtPaths(std::vector<std::string> paths) {
    bool startThread = false;
    {
        std::lock_guard lock(_importQueueMutex);
        _isImporting = true;
        _importQueue.push_back(std::move(paths));
        startThread = !_importThreadRunning;
        _importThreadRunning = true;
    }
    _window.disableExportButton();
    if (startThread) _threads.start([this] { runImportQueue(); });
}

void BatchController::runImportQueue() {
    for (;;) {
        std::vector<std::string> paths;
        {
            std::lock_guard lock(_importQueueMutex);
            paths = std::move(_importQueue.front());
            _importQueue.pop_front();
        }
        _importImageFilesAtPaths(paths);
        std::lock_guard lock(_importQueueMutex);
        if (_importQueue.empty()) {
            _importThreadRunning = false;
            return;
        }
    }
}

void BatchController::_importImageFilesAtPaths(const std::vector<std::string>& paths) {
    const std::vector<std::string> candidates = importCandidatesForPaths(paths);
    _mainThread.post([this] { _window.updateInterface(); });
    const double max = static_cast<double>(candidates.size());
    _mainThread.post([this, max] { _window.readyProgressBarWithMax(max); });

    // Recent-document notes and the progress value travel together, in
    // batches spaced by the throttle; the last batch carries the exact count.
    ProgressThrottle throttle(kImportProgressInterval);
    std::vector<std::string> notes;
    std::size_t counter = 0;
    for (const std::string& candidate : candidates) {
        _pelloraImages.addRecordForPathIfMissing(candidate);
        if (_recentDocuments != nullptr) notes.push_back(candidate);
        ++counter;
        if (counter == candidates.size() || throttle.due()) {
            const bool last = counter == candidates.size();
            _mainThread.post([this, batch = std::move(notes), value = static_cast<double>(counter), last] {
                for (const std::string& note : batch) _recentDocuments->noteNewRecentDocumentURL(note);
                if (last && _recentDocuments != nullptr) _recentDocuments->importDidNoteAllDocuments();
                _window.setProgressValue(value);
            });
            notes.clear();
        }
    }

    {
        // Importing stays set while another request waits for this thread.
        std::lock_guard lock(_importQueueMutex);
        if (_importQueue.empty()) _isImporting = false;
    }
    _mainThread.postAndWait([this] { _window.reloadData(); });
    _mainThread.post([this] { _window.updateInterface(); });
}

} // namespace pellora
