#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "jobs/ExportPlan.h"
#include "jobs/ExportReport.h"
#include "jobs/JobThreads.h"
#include "jobs/SourceList.h"
#include "model/SettingsChoices.h"

namespace pellora {

class MainThreadDispatcher;
class RecentDocumentsNoter;
class UserDefaults;
class WindowStateSink;

// The state and the jobs that the desktop window's MainController and the
// terminal front end share: the source list, the three job flags, the import
// and the export jobs, and the start/stop logic of the export button without
// its folder sheet. It reaches the interface only through the small interfaces
// given to it; every call to them from a job thread goes through the
// dispatcher, in order.
//
// Threading: the operations not marked otherwise are called on the main
// thread (the thread the dispatcher delivers to). The flags and the list may
// be read from any thread. Settings come from UserDefaults::standard(); the
// owner registers the defaults (registerDefaults()) before the first job.
class BatchController {
public:
    // The interfaces must outlive the controller. recentDocuments may be null
    // (the terminal notes nothing).
    BatchController(MainThreadDispatcher& mainThread, WindowStateSink& window,
                    RecentDocumentsNoter* recentDocuments = nullptr);
    // Waits for the job threads to end. Destroy the controller only when it is
    // idle, or from a thread the dispatcher does not need.
    ~BatchController();
    BatchController(const BatchController&) = delete;
    BatchController& operator=(const BatchController&) = delete;

    // The source list: row n of the table is record n.
    SourceList& pelloraImages() { return _pelloraImages; }
    const SourceList& pelloraImages() const { return _pelloraImages; }

    // Job flags. Idle means neither importing nor exporting.
    bool isImporting() const { return _isImporting; }
    void setIsImporting(bool value) { _isImporting = value; }
    bool isExporting() const { return _isExporting; }
    void setIsExporting(bool value) { _isExporting = value; }
    bool isCanceled() const { return _isCanceled; }
    void setIsCanceled(bool value) { _isCanceled = value; }
    bool isBusy() const { return _isImporting || _isExporting; }

    // Told of each exported record and of the report at the end of each
    // export (may be null; set it while idle).
    void setExportResultObserver(ExportResultObserver* observer) { _exportResultObserver = observer; }

    // --- Import ---

    // Starts importing the paths (files and folders, one level deep) on an
    // import thread and returns at once: sets importing, disables the export
    // button. A request made while an import runs is queued behind it and
    // handled by the same thread, so the list never holds a path twice.
    void importImageFilesAtPaths(std::vector<std::string> paths);
    // The image files directly inside a folder, in natural name order
    // (naturalNameLess; hidden names too; subfolders are not entered). Empty when the path
    // is not a folder or cannot be read. Any thread.
    static std::vector<std::string> imageFilePathsInDirectory(const std::string& path);
    // The folders that imports were given and could not read (each logged
    // then), in order, since the controller was made. Any thread.
    std::vector<std::string> foldersNotRead() const;
    // Whether the path's extension is an entry of the image type list (exact,
    // case-sensitive). Judged by the name alone; the file is not opened. Any thread.
    static bool pathPointsToImageFile(const std::string& path);

    // --- Export ---

    enum class ExportButtonResult {
        CancelRequested,    // an export was running; canceled is now set
        DestinationNeeded,  // "ExportDestination" is 0: show the folder sheet, then call exportImagesToPath
        Started,            // the fixed folder was created where missing and the export started
    };
    // The export button's action, less the sheet.
    ExportButtonResult exportButtonClicked();
    // The fixed export folder of the settings ("ExportStaticLocation"), a
    // leading "~" standing for the home folder (the path may be edited by hand).
    static std::string fixedExportFolder(const UserDefaults& defaults);
    // Starts the export thread into folder (which should exist): sets
    // exporting, refreshes the window, readies the progress bar with the
    // number of records, clears canceled, and returns at once. false (after a
    // log line) when an export is already running.
    bool exportImagesToPath(const std::string& folder);
    // The type identifier of the output format.
    static std::string imageFormatCodeForSelectionIndex(ExportFormat format);
    // Creates every missing folder along path, outermost first; a relative
    // path is taken from the current folder. Failures are passed over: the
    // writes into the folder then fail record by record.
    static void createFoldersAlongPath(const std::string& path);

    // What the last export did with each record it reached (empty before the
    // first). Complete once exporting is false; any thread.
    ExportReport lastExportReport() const;
    // What an export of the list into folder would write, skip or find
    // clashing, judged from names alone with the current settings: the check
    // before an export starts. Any thread.
    ExportPlan planExportToPath(const std::string& folder) const;

    // The threads that prepare the records ahead of the export thread; 0 (the
    // default) for one per core. Set it while idle.
    void setExportWorkerCount(std::size_t count) { _exportWorkerCount = count; }

    // Blocks until every job thread has ended. Only for callers whose
    // dispatcher does not need the calling thread (the terminal, tests with
    // an InlineDispatcher).
    void waitUntilIdle();

private:
    // The import thread: handles queued requests until none is left.
    void runImportQueue();
    // Folders give the image files directly inside them; other paths are kept
    // when named like an image file. Order is kept; repeats are not removed
    // here. A folder that cannot be read is logged and noted.
    std::vector<std::string> importCandidatesForPaths(const std::vector<std::string>& paths);
    // One import request, on the import thread.
    void _importImageFilesAtPaths(const std::vector<std::string>& paths);
    void _exportImagesToPath(const std::string& folder);

    MainThreadDispatcher& _mainThread;
    WindowStateSink& _window;
    RecentDocumentsNoter* const _recentDocuments;
    std::atomic<ExportResultObserver*> _exportResultObserver{nullptr};

    SourceList _pelloraImages;
    mutable std::mutex _lastExportReportMutex;
    ExportReport _lastExportReport;
    std::size_t _exportWorkerCount = 0;
    std::atomic<bool> _isImporting{false};
    std::atomic<bool> _isExporting{false};
    std::atomic<bool> _isCanceled{false};

    // Import requests waiting for the import thread, and whether it runs.
    std::mutex _importQueueMutex;
    std::deque<std::vector<std::string>> _importQueue;
    bool _importThreadRunning = false;
    mutable std::mutex _foldersNotReadMutex;
    std::vector<std::string> _foldersNotRead;

    JobThreads _threads;
};

} // namespace pellora
