#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace pellora {

// A regular file opened for reading, closed when the object goes. It is
// opened without blocking, so that a FIFO or a device at the path is refused
// at once rather than waited on. Nothing is logged: callers word failures.
class ReadOnlyFile {
public:
    enum class State {
        Open,
        Missing,     // nothing at the path
        Failed,      // cannot be opened or examined: error() says why
        NotRegular,  // a folder, a FIFO, a device...
    };

    explicit ReadOnlyFile(const std::string& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    State state() const { return _state; }
    // The errno of a Missing or Failed file, or of the last read error.
    int error() const { return _error; }
    // For a NotRegular one: whether it is a folder.
    bool isFolder() const { return _isFolder; }
    // The size when opened.
    std::uint64_t size() const { return _size; }

    // Fills destination with the bytes at offset, going on after interruptions
    // and short reads; the count read, fewer than asked at the file's end.
    // nullopt on a read error (error() says which).
    std::optional<std::size_t> readAt(std::uint64_t offset, std::span<std::uint8_t> destination);

private:
    int _fd = -1;
    State _state = State::Failed;
    int _error = 0;
    bool _isFolder = false;
    std::uint64_t _size = 0;
};

} // namespace pellora
