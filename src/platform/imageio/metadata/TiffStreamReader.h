#pragma once

// The directory structure of a TIFF stream (a TIFF file, or the EXIF block of
// another format), read with every offset and length checked against the
// stream's size. The bytes come through a HeaderRangeReader, so that the same
// walk runs over bytes in memory or over ranges read from a file on demand.
#include <cstdint>
#include <optional>
#include <span>

#include "platform/imageio/HeaderRangeReader.h"

namespace pellora::tiff {

inline constexpr std::uint16_t kMakerNoteTag = 0x927c;
inline constexpr std::uint16_t kExifPointer = 0x8769;
inline constexpr std::uint16_t kGpsPointer = 0x8825;
inline constexpr std::uint16_t kInteropPointer = 0xa005;
inline constexpr std::uint16_t kSubIfdsPointer = 0x014a;
inline constexpr std::uint16_t kJpegInterchangeFormatTag = 0x0201;
inline constexpr std::uint16_t kJpegInterchangeFormatLengthTag = 0x0202;

// The size of one value of a field type; 0 for a type TIFF does not define.
std::uint32_t typeSize(std::uint16_t type);

// One directory entry and where its value lies in the stream.
struct Field {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::uint32_t offset = 0;  // in the entry itself when the value fits in four bytes
    std::uint32_t size = 0;    // count values of the type
};

// A whole stream held in memory, as a range reader.
class MemoryRanges final : public HeaderRangeReader {
public:
    explicit MemoryRanges(std::span<const std::uint8_t> bytes) : _bytes(bytes) {}
    std::uint64_t fileSize() const override { return _bytes.size(); }
    std::span<const std::uint8_t> read(std::uint64_t offset, std::size_t length) override;

private:
    std::span<const std::uint8_t> _bytes;
};

class StreamReader {
public:
    explicit StreamReader(HeaderRangeReader& source) : _source(source), _size(source.fileSize()) {}

    // Reads the byte order and returns the offset of the first directory;
    // nullopt when the stream does not start like classic TIFF.
    std::optional<std::uint32_t> readHeader();
    bool bigEndian() const { return _bigEndian; }
    std::uint64_t size() const { return _size; }

    // Exactly `length` bytes at `at`, or empty when they do not all lie in
    // the stream or cannot be read.
    std::span<const std::uint8_t> bytes(std::uint64_t at, std::uint64_t length);
    std::optional<std::uint16_t> u16(std::uint64_t at);
    std::optional<std::uint32_t> u32(std::uint64_t at);

    // Reads the directory at `at` in one range (its count, entries and link
    // to the next directory), so that what follows comes from that range.
    // The number of its entries, when all of them lie in the stream.
    std::optional<std::uint16_t> entryCount(std::uint64_t at);
    // The offset of the directory after the one at `at` (0 at the end of the chain).
    std::optional<std::uint32_t> nextDirectory(std::uint64_t at);
    // The entry at `entryAt`, when its type is known and its value lies in the stream.
    std::optional<Field> field(std::uint64_t entryAt);
    // The offset of the entry with this tag in the directory at `at`.
    std::optional<std::uint64_t> findEntry(std::uint64_t at, std::uint16_t tag);
    // The value of a SHORT or LONG entry of one count, held in the entry itself.
    std::optional<std::uint32_t> singleValue(std::uint64_t entryAt);

private:
    HeaderRangeReader& _source;
    std::uint64_t _size;
    bool _bigEndian = false;
    // The last range read, which the small reads of a directory come from.
    std::uint64_t _windowAt = 0;
    std::span<const std::uint8_t> _window;
};

// The offset of entry `index` of the directory at `at`.
inline std::uint64_t entryOffset(std::uint64_t directory, std::uint32_t index) {
    return directory + 2 + std::uint64_t{index} * 12;
}

} // namespace pellora::tiff
