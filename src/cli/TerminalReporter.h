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
// printed safely and without tearing the bar. Counts the export's outcomes.
class TerminalReporter final : public WindowStateSink, public ExportResultObserver {
public:
    enum class Phase { Import, Export };

    explicit TerminalReporter(bool drawProgressBar);

    void beginPhase(Phase phase);
    // Clears the bar, if one is shown.
    void endPhase();
    // A log line, to stderr.
    void printLogLine(const std::string& line);
    // The counts; and when records were left, the list of those not exported.
    void printSummary(const std::vector<std::string>& notExported);

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
    std::size_t _written = 0;
    std::size_t _skipped = 0;
    std::size_t _failed = 0;
};

} // namespace pellora::cli
