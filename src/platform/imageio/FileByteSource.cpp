#include "platform/imageio/FileByteSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Log.h"

namespace pellora {
namespace {

// Larger files are refused before they are read: far beyond any image within
// the decode limits, and reading them would only exhaust memory.
constexpr std::uint64_t maxSourceBytes = std::uint64_t{4} << 30;

} // namespace

FileByteSource::FileByteSource(std::string path, int fd, std::uint64_t size)
    : _path(std::move(path)), _fd(fd), _size(size) {}

FileByteSource::~FileByteSource() { ::close(_fd); }

std::unique_ptr<FileByteSource> FileByteSource::open(const std::string& path) {
    // Non-blocking, so that a FIFO named like an image cannot hang the open;
    // only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        Log::line(fmt::format("ImageSource: cannot open {}: {}", path, std::strerror(errno)));
        return nullptr;
    }
    std::unique_ptr<FileByteSource> source(new FileByteSource(path, fd, 0));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        Log::line(
            fmt::format("ImageSource: {} is {}", path, S_ISDIR(info.st_mode) ? "a folder" : "not a regular file"));
        return nullptr;
    }
    if (info.st_size == 0) {
        Log::line(fmt::format("ImageSource: {} is empty", path));
        return nullptr;
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxSourceBytes) {
        Log::line(fmt::format("ImageSource: {} is too large ({} bytes)", path, info.st_size));
        return nullptr;
    }
    source->_size = static_cast<std::uint64_t>(info.st_size);
    return source;
}

bool FileByteSource::extendPrefix(std::vector<std::uint8_t>& prefix, std::size_t length) {
    std::size_t filled = prefix.size();
    if (filled >= length) return true;
    try {
        prefix.resize(length);
    } catch (const std::bad_alloc&) {
        Log::line(fmt::format("ImageSource: out of memory reading {} ({} bytes)", _path, length));
        prefix.resize(filled);
        return false;
    }
    const auto got = readAt(filled, std::span(prefix).subspan(filled));
    prefix.resize(got ? filled + *got : filled);
    return got.has_value();
}

std::optional<std::size_t> FileByteSource::readAt(std::uint64_t offset, std::span<std::uint8_t> destination) {
    std::size_t filled = 0;
    while (filled < destination.size()) {
        const ssize_t got = ::pread(_fd, destination.data() + filled, destination.size() - filled,
                                    static_cast<off_t>(offset + filled));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            Log::line(fmt::format("ImageSource: cannot read {}: {}", _path, std::strerror(errno)));
            _bytesRead += filled;
            return std::nullopt;
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    _bytesRead += filled;
    return filled;
}

} // namespace pellora
