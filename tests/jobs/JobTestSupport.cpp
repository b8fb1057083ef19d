#include "jobs/JobTestSupport.h"

#include <algorithm>
#include <cmath>
#include <dirent.h>
#include <fmt/format.h>

#include "platform/imageio/ImageSource.h"
#include "support/TestPictures.h"

namespace pellora::test {

bool writeTestImage(const std::string& path, std::uint32_t width, std::uint32_t height, const char* type) {
    return writeGradient(path, type, width, height);
}

DecodedSize decodedSize(const std::string& path) {
    const auto source = ImageSource::createWithPath(path);
    if (!source) return {};
    const auto image = source->decodeFirstImage();
    if (!image) return {};
    return {image->width, image->height};
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> hiddenEntries(const std::string& folder) {
    std::vector<std::string> hidden;
    for (const std::string& name : folderEntries(folder)) {
        if (name[0] == '.') hidden.push_back(name);
    }
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
    std::vector<std::string> matching;
    for (const std::string& event : events()) {
        if (event.rfind(prefix, 0) == 0) matching.push_back(event);
    }
    return matching;
}

void RecordingWindow::record(const std::string& event) {
    std::lock_guard lock(_mutex);
    _events.push_back(event);
}

std::string RecordingWindow::number(double value) { return fmt::format("{}", value); }

} // namespace pellora::test
