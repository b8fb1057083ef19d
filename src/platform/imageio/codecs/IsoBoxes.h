#pragma once

#include <cstdint>
#include <optional>
#include <span>

// The box layout that ISO base media files (HEIF) and JP2 files share: a
// 32-bit big-endian size and a four-character type; a size of 1 puts a 64-bit
// size after the type, and a size of 0 makes the box run to the end of its
// container.
namespace pellora {

class HeaderRangeReader;

constexpr std::uint32_t fourCC(const char (&text)[5]) {
    return std::uint32_t(std::uint8_t(text[0])) << 24 | std::uint32_t(std::uint8_t(text[1])) << 16 |
           std::uint32_t(std::uint8_t(text[2])) << 8 | std::uint32_t(std::uint8_t(text[3]));
}

inline std::uint16_t be16(const std::uint8_t* p) { return std::uint16_t(p[0] << 8 | p[1]); }
inline std::uint32_t be32(const std::uint8_t* p) { return std::uint32_t(be16(p)) << 16 | be16(p + 2); }
inline std::uint64_t be64(const std::uint8_t* p) { return std::uint64_t(be32(p)) << 32 | be32(p + 4); }

struct BoxHeader {
    std::uint32_t type = 0;
    std::uint64_t start = 0;         // of the header
    std::uint64_t contentStart = 0;  // after the header (and the 64-bit size)
    std::uint64_t end = 0;           // one past the last byte, as the size declares

    std::uint64_t contentSize() const { return end - contentStart; }
};

// The most a box header takes: size, type and a 64-bit size.
constexpr std::size_t kMaxBoxHeader = 16;

// The header of the box at `start` in a container that ends at `limit`, from
// `head`, the bytes from `start` on (up to kMaxBoxHeader of them are looked
// at). nullopt when the header is cut short by head or limit, or when its size
// is smaller than the header. `end` may lie past `limit`: callers decide
// whether a box may be cut short.
std::optional<BoxHeader> parseBoxHeader(std::span<const std::uint8_t> head, std::uint64_t start, std::uint64_t limit);

// The same, reading the header's bytes through reader.
std::optional<BoxHeader> readBoxHeader(HeaderRangeReader& reader, std::uint64_t start, std::uint64_t limit);

} // namespace pellora
