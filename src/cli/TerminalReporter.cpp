#include "cli/TerminalReporter.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

#include "cli/DisplayText.h"

namespace pellora::cli {
namespace {

constexpr int kBarWidth = 30;

void writeTo(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

} // namespace

TerminalReporter::TerminalReporter(bool drawProgressBar) : _drawProgressBar(drawProgressBar) {}

void TerminalReporter::beginPhase(Phase phase) {
    std::lock_guard lock(_mutex);
    _phase = phase;
    _max = 0;
    _value = 0;
}

void TerminalReporter::endPhase() {
    std::lock_guard lock(_mutex);
    clearBar();
}

void TerminalReporter::printLogLine(const std::string& line) {
    std::lock_guard lock(_mutex);
    const bool redraw = _barShown;
    clearBar();
    writeTo(stderr, displayText(line) + "\n");
    if (redraw) drawBar();
}

void TerminalReporter::readyProgressBarWithMax(double max) {
    std::lock_guard lock(_mutex);
    _max = max;
    _value = 0;
    if (_drawProgressBar) drawBar();
}

void TerminalReporter::setProgressValue(double value) {
    std::lock_guard lock(_mutex);
    _value = value;
    if (_drawProgressBar) drawBar();
}

void TerminalReporter::recordExported(const ExportRecordResult& result) {
    std::lock_guard lock(_mutex);
    std::string line;
    switch (result.outcome) {
    case ExportOutcome::Written: line = "written  " + displayText(result.outputPath); break;
    case ExportOutcome::Skipped: line = "skipped  " + displayText(result.outputPath) + " (exists)"; break;
    case ExportOutcome::Failed:
        line = "failed   " + displayText(result.inputPath) + ": " + std::string(plainWords(result.reason));
        break;
    }
    _report.add(result);
    if (!_drawProgressBar) writeTo(stdout, line + "\n");
}

void TerminalReporter::folderNotRead(const std::string& path) {
    std::lock_guard lock(_mutex);
    _foldersNotRead.push_back(path);
}

void TerminalReporter::printSummary(const std::vector<std::string>& notExported) {
    std::lock_guard lock(_mutex);
    clearBar();
    std::string skipped;
    std::string failed;
    for (const ExportRecordResult& result : _report.skippedAndFailed()) {
        if (result.outcome == ExportOutcome::Skipped) {
            skipped += fmt::format("  {}: {} exists already\n", displayText(result.inputPath),
                                   displayText(result.outputPath));
        } else {
            failed += fmt::format("  {}: {}\n", displayText(result.inputPath), plainWords(result.reason));
        }
    }
    for (const std::string& folder : _foldersNotRead) failed += "  " + displayText(folder) + ": cannot read the folder\n";

    std::string text = fmt::format("{} written, {} skipped, {} failed\n", _report.count(ExportOutcome::Written),
                                   _report.count(ExportOutcome::Skipped),
                                   _report.count(ExportOutcome::Failed) + _foldersNotRead.size());
    if (!skipped.empty()) text += "Skipped:\n" + skipped;
    if (!failed.empty()) text += "Failed:\n" + failed;
    if (!notExported.empty()) {
        text += fmt::format("Interrupted: {} not exported:\n", notExported.size());
        for (const std::string& path : notExported) text += "  " + displayText(path) + "\n";
    }
    writeTo(stdout, text);
}

std::size_t TerminalReporter::failedCount() const {
    std::lock_guard lock(_mutex);
    return _report.count(ExportOutcome::Failed) + _foldersNotRead.size();
}

void TerminalReporter::drawBar() {
    const double fraction = _max > 0 ? std::clamp(_value / _max, 0.0, 1.0) : 0.0;
    const int filled = static_cast<int>(std::lround(fraction * kBarWidth));
    const char* label = _phase == Phase::Import ? "Adding   " : "Exporting";
    writeTo(stdout, fmt::format("\r\033[K{} [{}{}] {:.0f}/{:.0f}", label, std::string(filled, '#'),
                                std::string(kBarWidth - filled, '.'), _value, _max));
    _barShown = true;
}

void TerminalReporter::clearBar() {
    if (!_barShown) return;
    writeTo(stdout, "\r\033[K");
    _barShown = false;
}

} // namespace pellora::cli
