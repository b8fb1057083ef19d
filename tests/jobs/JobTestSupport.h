#pragma once

#include <atomic>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "jobs/ExportReport.h"
#include "jobs/RecentDocumentsNoter.h"
#include "jobs/WindowStateSink.h"

namespace pellora::test {

// Writes an opaque test picture of the given size as a file of the type
// (a type identifier such as kImageTypeJPEG). false when the encoder failed.
bool writeTestImage(const std::string& path, std::uint32_t width, std::uint32_t height, const char* type);

// The pixel size of the file as its decoder reads it, and whether the whole
// image decodes; {0, 0} when it does not.
struct DecodedSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool operator==(const DecodedSize&) const = default;
};
DecodedSize decodedSize(const std::string& path);

// The names in a folder (without "." and ".."), sorted.
std::vector<std::string> folderEntries(const std::string& folder);
// The entries that begin with a dot: temporary files left behind.
std::vector<std::string> hiddenEntries(const std::string& folder);

// Records what the jobs did to the "window" as short strings, in order:
// "update", "ready:N", "progress:N", "reload", "disable", and "written|skipped|failed:<output>"
// for export results. Thread-safe.
class RecordingWindow : public WindowStateSink, public ExportResultObserver, public RecentDocumentsNoter {
public:
    void updateInterface() override { record("update"); }
    void readyProgressBarWithMax(double max) override { record("ready:" + number(max)); }
    void setProgressValue(double value) override { record("progress:" + number(value)); }
    void reloadData() override { record("reload"); }
    void disableExportButton() override { record("disable"); }
    void recordExported(const ExportRecordResult& result) override;
    void noteNewRecentDocumentURL(const std::string& filePath) override;
    void importDidNoteAllDocuments() override { ++_noteEnds; }

    std::vector<std::string> events() const;
    std::vector<std::string> notes() const;
    // How many times an import said it had noted its last path.
    int noteEnds() const { return _noteEnds; }
    // The events that start with prefix.
    std::vector<std::string> eventsStartingWith(const std::string& prefix) const;

protected:
    virtual void record(const std::string& event);

private:
    static std::string number(double value);
    mutable std::mutex _mutex;
    std::vector<std::string> _events;
    std::vector<std::string> _notes;
    std::atomic<int> _noteEnds{0};
};

} // namespace pellora::test
