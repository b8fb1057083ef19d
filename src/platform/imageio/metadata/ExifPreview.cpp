#include "platform/imageio/metadata/ExifPreview.h"

#include <cstring>
#include <optional>

namespace pellora {
namespace {

constexpr std::uint16_t kJpegInterchangeFormatTag = 0x0201;
constexpr std::uint16_t kJpegInterchangeFormatLengthTag = 0x0202;
constexpr std::uint16_t kShortType = 3;
constexpr std::uint16_t kLongType = 4;

// Reads integers of a TIFF stream in its byte order, every read checked.
class TiffReader {
public:
    explicit TiffReader(std::span<const std::uint8_t> stream) : _stream(stream) {}

    bool readByteOrder() {
        if (_stream.size() < 8) return false;
        if (std::memcmp(_stream.data(), "II*\0", 4) == 0) _bigEndian = false;
        else if (std::memcmp(_stream.data(), "MM\0*", 4) == 0) _bigEndian = true;
        else return false;
        return true;
    }
    std::optional<std::uint16_t> u16(std::uint64_t at) const {
        if (at + 2 > _stream.size()) return std::nullopt;
        const std::uint8_t* p = _stream.data() + at;
        return static_cast<std::uint16_t>(_bigEndian ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]);
    }
    std::optional<std::uint32_t> u32(std::uint64_t at) const {
        const auto high = u16(at + (_bigEndian ? 0 : 2));
        const auto low = u16(at + (_bigEndian ? 2 : 0));
        if (!high || !low) return std::nullopt;
        return (std::uint32_t{*high} << 16) | *low;
    }
    // A SHORT or LONG value of one count, held in the entry itself.
    std::optional<std::uint32_t> entryValue(std::uint64_t entry) const {
        const auto type = u16(entry + 2);
        const auto count = u32(entry + 4);
        if (!type || !count || *count != 1) return std::nullopt;
        if (*type == kShortType) return u16(entry + 8);
        if (*type == kLongType) return u32(entry + 8);
        return std::nullopt;
    }
    std::span<const std::uint8_t> stream() const { return _stream; }

private:
    std::span<const std::uint8_t> _stream;
    bool _bigEndian = false;
};

// The preview of IFD1 in a TIFF stream.
std::span<const std::uint8_t> previewInTiffStream(std::span<const std::uint8_t> stream) {
    TiffReader reader(stream);
    if (!reader.readByteOrder()) return {};
    const auto ifd0 = reader.u32(4);
    if (!ifd0) return {};
    const auto ifd0Count = reader.u16(*ifd0);
    if (!ifd0Count) return {};
    const auto ifd1 = reader.u32(std::uint64_t{*ifd0} + 2 + 12 * std::uint64_t{*ifd0Count});
    // IFD1 after IFD0, so that a chain cannot point back on itself.
    if (!ifd1 || *ifd1 <= *ifd0) return {};
    const auto ifd1Count = reader.u16(*ifd1);
    if (!ifd1Count) return {};
    std::optional<std::uint32_t> offset;
    std::optional<std::uint32_t> length;
    for (std::uint32_t index = 0; index < *ifd1Count; ++index) {
        const std::uint64_t entry = std::uint64_t{*ifd1} + 2 + 12 * std::uint64_t{index};
        const auto tag = reader.u16(entry);
        if (!tag) return {};
        if (*tag == kJpegInterchangeFormatTag) offset = reader.entryValue(entry);
        if (*tag == kJpegInterchangeFormatLengthTag) length = reader.entryValue(entry);
    }
    if (!offset || !length || *length < 4 || std::uint64_t{*offset} + *length > stream.size()) return {};
    const auto preview = stream.subspan(*offset, *length);
    // A JPEG starts with its SOI marker.
    if (preview[0] != 0xff || preview[1] != 0xd8) return {};
    return preview;
}

// The TIFF stream of the first EXIF APP1 segment before the scan of a JPEG file.
std::span<const std::uint8_t> exifStreamInJpeg(std::span<const std::uint8_t> bytes) {
    static constexpr std::uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (bytes[at] != 0xff) return {};
        const std::uint8_t marker = bytes[at + 1];
        // Fill bytes before a marker.
        if (marker == 0xff) {
            ++at;
            continue;
        }
        // The scan (and what has no length) ends the header segments.
        if (marker == 0xda || marker == 0xd9 || (marker >= 0xd0 && marker <= 0xd7) || marker == 0x01) return {};
        const std::size_t length = (std::size_t{bytes[at + 2]} << 8) | bytes[at + 3];
        if (length < 2 || at + 2 + length > bytes.size()) return {};
        const auto payload = bytes.subspan(at + 4, length - 2);
        if (marker == 0xe1 && payload.size() > sizeof kExifHeader &&
            std::memcmp(payload.data(), kExifHeader, sizeof kExifHeader) == 0) {
            return payload.subspan(sizeof kExifHeader);
        }
        at += 2 + length;
    }
    return {};
}

} // namespace

std::span<const std::uint8_t> exifPreviewJpeg(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 4 && bytes[0] == 0xff && bytes[1] == 0xd8) return previewInTiffStream(exifStreamInJpeg(bytes));
    return previewInTiffStream(bytes);
}

} // namespace pellora
