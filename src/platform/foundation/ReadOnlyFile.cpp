#include "platform/foundation/ReadOnlyFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellora {

ReadOnlyFile::ReadOnlyFile(const std::string& path) {
    _fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (_fd < 0) {
        _error = errno;
        _state = _error == ENOENT ? State::Missing : State::Failed;
        return;
    }
    struct stat info {};
    if (::fstat(_fd, &info) != 0) {
        _error = errno;
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        _isFolder = S_ISDIR(info.st_mode);
        _state = State::NotRegular;
        return;
    }
    _size = static_cast<std::uint64_t>(info.st_size);
    _state = State::Open;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (_fd >= 0) ::close(_fd);
}

std::optional<std::size_t> ReadOnlyFile::readAt(std::uint64_t offset, std::span<std::uint8_t> destination) {
    std::size_t filled = 0;
    while (filled < destination.size()) {
        const ssize_t got = ::pread(_fd, destination.data() + filled, destination.size() - filled,
                                    static_cast<off_t>(offset + filled));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            _error = errno;
            return std::nullopt;
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    return filled;
}

} // namespace pellora
