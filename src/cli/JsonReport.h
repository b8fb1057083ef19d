#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "jobs/ExportReport.h"

namespace pellora::cli {

// A JSON string of bytes that should be UTF-8 but need not be: valid UTF-8
// stays as it is (with the characters JSON needs escaped), and every byte that
// is not part of a valid sequence becomes the lone surrogate U+DC80 + byte
// (\udcff for 0xFF), the scheme of Python's "surrogateescape", so that
// json.loads and os.fsencode give the bytes back.
std::string jsonString(std::string_view bytes);

// The machine-readable report of a run: JSON Lines, one object per record, as
// the export commits it, each line written whole with one write(2) so that a
// killed run leaves a report that is valid up to its last line. Passes every
// result on to next.
class JsonLinesReport final : public ExportResultObserver {
public:
    // Creates or empties the file; nullptr, with error set, when it cannot.
    static std::unique_ptr<JsonLinesReport> create(const std::string& path, ExportResultObserver& next,
                                                   std::string& error);
    ~JsonLinesReport() override;
    JsonLinesReport(const JsonLinesReport&) = delete;
    JsonLinesReport& operator=(const JsonLinesReport&) = delete;

    // Starts the clock of the first record's "ms".
    void exportStarts();
    void recordExported(const ExportRecordResult& result) override;

private:
    JsonLinesReport(int fd, std::string path, ExportResultObserver& next);

    const int _fd;
    const std::string _path;
    ExportResultObserver& _next;
    std::chrono::steady_clock::time_point _lastCommit = std::chrono::steady_clock::now();
    bool _writeFailed = false;
};

} // namespace pellora::cli
