#include "jobs/JobTestSupport.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fmt/format.h>

#include "model/PipelineTestSupport.h"
#include "support/TestPictures.h"

namespace pellora::test {

bool writeTestImage(const std::string& path, std::uint32_t width, std::uint32_t height, const char* type) {
    return writeGradient(path, type, width, height);
}

DecodedSize decodedSize(const std::string& path) {
    const auto image = decodeFile(path);
    return image ? DecodedSize{image->width, image->height} : DecodedSize{};
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(folder, missing)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> hiddenEntries(const std::string& folder) {
    std::vector<std::string> hidden = folderEntries(folder);
    std::erase_if(hidden, [](const std::string& name) { return name[0] != '.'; });
    return hidden;
}

void RecordingWindow::recordExported(const ExportRecordResult& result) {
    const char* outcome = result.outcome == ExportOutcome::Written ? "written"
                          : result.outcome == ExportOutcome::Skipped ? "skipped"
                                                                       : "failed";
    record(std::string(outcome) + ":" + result.outputPath);
}

void RecordingWindow::noteNewRecentDocumentURL(const std::string& filePath) {
    std::lock_guard lock(_mutex);
    _notes.push_back(filePath);
}

std::vector<std::string> RecordingWindow::events() const {
    std::lock_guard lock(_mutex);
    return _events;
}

std::vector<std::string> RecordingWindow::notes() const {
    std::lock_guard lock(_mutex);
    return _notes;
}

std::vector<std::string> RecordingWindow::eventsStartingWith(const std::string& prefix) const {
    std::vector<std::string> matching = events();
    std::erase_if(matching, [&](const std::string& event) { return !event.starts_with(prefix); });
    return matching;
}

void RecordingWindow::record(const std::string& event) {
    std::lock_guard lock(_mutex);
    _events.push_back(event);
}

std::string RecordingWindow::number(double value) { return fmt::format("{}", value); }

} // namespace pellora::test
