#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/foundation/ReadOnlyFile.h"

namespace pellora {

// A regular image file opened for reading byte ranges, counting the bytes it
// reads, so that a header can be read without the rest of the file.
class FileByteSource {
public:
    // nullptr (after one log line) when the path cannot be opened, is not a
    // regular file, is empty, or is larger than any image Pellora reads.
    static std::unique_ptr<FileByteSource> open(const std::string& path);
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    const std::string& path() const { return _path; }
    std::uint64_t size() const { return _file.size(); }
    // Extends prefix, the file's first bytes, to its first length bytes (to
    // fewer when the file has shrunk since it was opened). false (after one
    // log line) on a read error or when memory runs out.
    bool extendPrefix(std::vector<std::uint8_t>& prefix, std::size_t length);
    // Fills destination with the bytes at offset; the count read, fewer than
    // asked at the file's end. nullopt (after one log line) on a read error.
    std::optional<std::size_t> readAt(std::uint64_t offset, std::span<std::uint8_t> destination);
    // The bytes read so far.
    std::uint64_t bytesRead() const { return _bytesRead; }

private:
    explicit FileByteSource(const std::string& path);

    std::string _path;
    ReadOnlyFile _file;
    std::uint64_t _bytesRead = 0;
};

} // namespace pellora
