#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pellora {

// Reads byte ranges of one file for a codec that gathers the ranges its
// header and metadata live in (Codec::readHeaderRanges). Every range read is
// kept: the header source made from them holds those bytes at their offsets,
// and reads zeros anywhere else.
class HeaderRangeReader {
public:
    virtual ~HeaderRangeReader() = default;
    // The file's size in bytes.
    virtual std::uint64_t fileSize() const = 0;
    // The bytes at [offset, offset + length), clipped to the file's end. Empty
    // when offset is at or past the end, on a read error (after one log line),
    // or once the ranges read together exceed what a header read may take (the
    // caller then reads the whole file). Valid as long as the reader lives.
    virtual std::span<const std::uint8_t> read(std::uint64_t offset, std::size_t length) = 0;
};

} // namespace pellora
