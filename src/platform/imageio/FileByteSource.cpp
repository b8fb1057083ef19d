#include "platform/imageio/FileByteSource.h"

#include <cstring>
#include <fmt/format.h>
#include <new>

#include "platform/foundation/Log.h"

namespace pellora {
namespace {

// Larger files are refused before they are read: far beyond any image within
// the decode limits, and reading them would only exhaust memory.
constexpr std::uint64_t maxSourceBytes = std::uint64_t{4} << 30;

} // namespace

FileByteSource::FileByteSource(const std::string& path) : _path(path), _file(path) {}

std::unique_ptr<FileByteSource> FileByteSource::open(const std::string& path) {
    std::unique_ptr<FileByteSource> source(new FileByteSource(path));
    const ReadOnlyFile& file = source->_file;
    switch (file.state()) {
    case ReadOnlyFile::State::Open: break;
    case ReadOnlyFile::State::Missing:
    case ReadOnlyFile::State::Failed:
        Log::line(fmt::format("ImageSource: cannot open {}: {}", path, std::strerror(file.error())));
        return nullptr;
    case ReadOnlyFile::State::NotRegular:
        Log::line(fmt::format("ImageSource: {} is {}", path, file.isFolder() ? "a folder" : "not a regular file"));
        return nullptr;
    }
    if (file.size() == 0) {
        Log::line(fmt::format("ImageSource: {} is empty", path));
        return nullptr;
    }
    if (file.size() > maxSourceBytes) {
        Log::line(fmt::format("ImageSource: {} is too large ({} bytes)", path, file.size()));
        return nullptr;
    }
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
    const auto got = _file.readAt(offset, destination);
    if (!got) {
        Log::line(fmt::format("ImageSource: cannot read {}: {}", _path, std::strerror(_file.error())));
        return std::nullopt;
    }
    _bytesRead += *got;
    return got;
}

} // namespace pellora
