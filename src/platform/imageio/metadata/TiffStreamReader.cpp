#include "platform/imageio/metadata/TiffStreamReader.h"

#include <algorithm>
#include <cstring>

namespace pellora::tiff {
namespace {

constexpr std::uint16_t kShortType = 3;
constexpr std::uint16_t kLongType = 4;
// A directory's count, its entries and the link to the next one.
constexpr std::uint64_t kDirectoryFixedBytes = 2 + 4;

} // namespace

std::uint32_t typeSize(std::uint16_t type) {
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;    // byte, ASCII, signed byte, undefined
    case 3: case 8: return 2;                    // short, signed short
    case 4: case 9: case 11: case 13: return 4;  // long, signed long, float, IFD
    case 5: case 10: case 12: return 8;          // rational, signed rational, double
    default: return 0;
    }
}

std::span<const std::uint8_t> MemoryRanges::read(std::uint64_t offset, std::size_t length) {
    if (offset >= _bytes.size()) return {};
    return _bytes.subspan(static_cast<std::size_t>(offset),
                          static_cast<std::size_t>(std::min<std::uint64_t>(length, _bytes.size() - offset)));
}

std::optional<std::uint32_t> StreamReader::readHeader() {
    const auto header = bytes(0, 8);
    if (header.empty()) return std::nullopt;
    if (std::memcmp(header.data(), "II*\0", 4) == 0) {
        _bigEndian = false;
    } else if (std::memcmp(header.data(), "MM\0*", 4) == 0) {
        _bigEndian = true;
    } else {
        return std::nullopt;
    }
    return u32(4);
}

std::span<const std::uint8_t> StreamReader::bytes(std::uint64_t at, std::uint64_t length) {
    if (at > _size || _size - at < length) return {};
    if (at >= _windowAt && at - _windowAt <= _window.size() && _window.size() - (at - _windowAt) >= length) {
        return _window.subspan(static_cast<std::size_t>(at - _windowAt), static_cast<std::size_t>(length));
    }
    const auto read = _source.read(at, static_cast<std::size_t>(length));
    if (read.size() < length) return {};
    _windowAt = at;
    _window = read;
    return read.first(static_cast<std::size_t>(length));
}

std::optional<std::uint16_t> StreamReader::u16(std::uint64_t at) {
    const auto p = bytes(at, 2);
    if (p.empty()) return std::nullopt;
    return static_cast<std::uint16_t>(_bigEndian ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]);
}

std::optional<std::uint32_t> StreamReader::u32(std::uint64_t at) {
    const auto p = bytes(at, 4);
    if (p.empty()) return std::nullopt;
    return _bigEndian ? std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3]
                      : std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

std::optional<std::uint16_t> StreamReader::entryCount(std::uint64_t at) {
    const auto count = u16(at);
    if (!count || _size - at - 2 < std::uint64_t{*count} * 12) return std::nullopt;
    // The whole directory in one range; the link may be missing at the stream's end.
    const std::uint64_t length = std::min(kDirectoryFixedBytes + std::uint64_t{*count} * 12, _size - at);
    if (bytes(at, length).empty()) return std::nullopt;
    return count;
}

std::optional<std::uint32_t> StreamReader::nextDirectory(std::uint64_t at) {
    const auto count = entryCount(at);
    if (!count) return std::nullopt;
    return u32(entryOffset(at, *count));
}

std::optional<Field> StreamReader::field(std::uint64_t entryAt) {
    const auto tag = u16(entryAt);
    const auto type = u16(entryAt + 2);
    const auto count = u32(entryAt + 4);
    if (!tag || !type || !count) return std::nullopt;
    Field field{*tag, *type, *count};
    const std::uint32_t unit = typeSize(field.type);
    if (unit == 0 || field.count > _size / unit || std::uint64_t{field.count} * unit > UINT32_MAX) return std::nullopt;
    field.size = field.count * unit;
    if (field.size <= 4) {
        if (entryAt + 8 > UINT32_MAX) return std::nullopt;
        field.offset = static_cast<std::uint32_t>(entryAt + 8);
        return field;
    }
    const auto offset = u32(entryAt + 8);
    if (!offset || *offset > _size || _size - *offset < field.size) return std::nullopt;
    field.offset = *offset;
    return field;
}

std::optional<std::uint64_t> StreamReader::findEntry(std::uint64_t at, std::uint16_t wanted) {
    const auto count = entryCount(at);
    if (!count) return std::nullopt;
    for (std::uint16_t i = 0; i < *count; ++i) {
        const std::uint64_t entryAt = entryOffset(at, i);
        if (u16(entryAt) == wanted) return entryAt;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> StreamReader::singleValue(std::uint64_t entryAt) {
    const auto type = u16(entryAt + 2);
    const auto count = u32(entryAt + 4);
    if (!type || !count || *count != 1) return std::nullopt;
    if (*type == kShortType) return u16(entryAt + 8);
    if (*type == kLongType) return u32(entryAt + 8);
    return std::nullopt;
}

} // namespace pellora::tiff
