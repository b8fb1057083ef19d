#include "cli/JsonReport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Log.h"
#include "platform/foundation/Utf8.h"
#include "platform/imageio/ImageSource.h"

namespace pellora::cli {
namespace {

const char* statusWord(ExportOutcome outcome) {
    switch (outcome) {
    case ExportOutcome::Written: return "written";
    case ExportOutcome::Skipped: return "skipped";
    case ExportOutcome::Failed: return "failed";
    }
    return "failed";
}

// "width", "height" and "bytes" of the output file, from its header; nulls
// when there is no readable output.
std::string outputFields(const std::string& outputPath) {
    struct stat info {};
    std::string width = "null";
    std::string height = "null";
    std::string bytes = "null";
    if (::stat(outputPath.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        bytes = std::to_string(info.st_size);
        // An existing output that is not an image must not log: the report says null.
        Log::collectLines([&] {
            if (const auto source = ImageSource::createWithPath(outputPath)) {
                if (const auto header = source->header()) {
                    width = std::to_string(header->width);
                    height = std::to_string(header->height);
                }
            }
        });
    }
    return fmt::format("\"width\": {}, \"height\": {}, \"bytes\": {}", width, height, bytes);
}

} // namespace

std::string jsonString(std::string_view bytes) {
    std::string json = "\"";
    for (std::size_t n = 0; n < bytes.size();) {
        const std::size_t length = utf8SequenceAt(bytes, n).length;
        const auto byte = static_cast<unsigned char>(bytes[n]);
        if (length == 0) {
            json += fmt::format("\\udc{:02x}", byte);
            ++n;
            continue;
        }
        if (byte == '"' || byte == '\\') {
            json += '\\';
            json += static_cast<char>(byte);
        } else if (byte == '\n') {
            json += "\\n";
        } else if (byte == '\t') {
            json += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            json += fmt::format("\\u{:04x}", byte);
        } else {
            json.append(bytes.substr(n, length));
        }
        n += length;
    }
    return json + "\"";
}

std::unique_ptr<JsonLinesReport> JsonLinesReport::create(const std::string& path, ExportResultObserver& next,
                                                         std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = fmt::format("cannot write the report {}: {}", path, std::strerror(errno));
        return nullptr;
    }
    return std::unique_ptr<JsonLinesReport>(new JsonLinesReport(fd, path, next));
}

JsonLinesReport::JsonLinesReport(int fd, std::string path, ExportResultObserver& next)
    : _fd(fd), _path(std::move(path)), _next(next) {}

JsonLinesReport::~JsonLinesReport() { ::close(_fd); }

void JsonLinesReport::exportStarts() { _lastCommit = std::chrono::steady_clock::now(); }

void JsonLinesReport::recordExported(const ExportRecordResult& result) {
    // Records are committed one at a time, so the time since the previous
    // commit is what this record cost the run, whatever was prepared ahead.
    const auto now = std::chrono::steady_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - _lastCommit).count();
    _lastCommit = now;

    const std::string_view reason = plainWords(result.reason);
    const bool hasReason = result.outcome == ExportOutcome::Failed && !reason.empty();
    const std::string line =
        fmt::format("{{\"input\": {}, \"output\": {}, \"status\": \"{}\", \"reason\": {}, {}, \"ms\": {}}}\n",
                    jsonString(result.inputPath), jsonString(result.outputPath), statusWord(result.outcome),
                    hasReason ? jsonString(reason) : "null",
                    result.outcome == ExportOutcome::Failed ? outputFields("") : outputFields(result.outputPath), ms);
    std::size_t written = 0;
    while (!_writeFailed && written < line.size()) {
        const ssize_t count = ::write(_fd, line.data() + written, line.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            _writeFailed = true;  // said once; the export goes on
            Log::line(fmt::format("pellora-batch: cannot write the report {}: {}", _path, std::strerror(errno)));
            break;
        }
        written += static_cast<std::size_t>(count);
    }
    _next.recordExported(result);
}

} // namespace pellora::cli
