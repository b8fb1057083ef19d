#pragma once

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "jobs/ExportReport.h"
#include "jobs/WindowStateSink.h"

namespace pellora::cli {

// The terminal's "window": on a terminal, a progress bar redrawn in place on
// stdout; otherwise one plain line per exported file. Log lines go to stderr,
// printed safely and without tearing the bar. Keeps the export's report, and
// the folders that could not be read, for the summary.
class TerminalReporter final : public WindowStateSink, public ExportResultObserver {
public:
    enum class Phase { Import, Export };

    explicit TerminalReporter(bool drawProgressBar);

    void beginPhase(Phase phase);
    // Clears the bar, if one is shown.
    void endPhase();
    // A log line, to stderr.
    void printLogLine(const std::string& line);
    // A folder that could not be read: counted and listed as failed.
    void folderNotRead(const std::string& path);
    // The counts, each skipped and failed file with its reason, and when the
    // export was interrupted, the files not yet exported.
    void printSummary(const std::vector<std::string>& notExported);

    // Files and folders that failed, name clashes included.
    std::size_t failedCount() const;

    // WindowStateSink
    void updateInterface() override {}
    void readyProgressBarWithMax(double max) override;
    void setProgressValue(double value) override;
    void reloadData() override {}
    void disableExportButton() override {}

    // ExportResultObserver
    void recordExported(const ExportRecordResult& result) override;

private:
    void drawBar();   // with _mutex held
    void clearBar();  // with _mutex held

    const bool _drawProgressBar;
    mutable std::mutex _mutex;
    Phase _phase = Phase::Import;
    double _max = 0;
    double _value = 0;
    bool _barShown = false;
    ExportReport _report;
    std::vector<std::string> _foldersNotRead;
};

} // namespace pellora::cli
