#include "platform/imageio/metadata/ExifPreview.h"

#include <cstring>
#include <optional>

#include "platform/imageio/metadata/TiffStreamReader.h"

namespace pellora {
namespace {

// The preview of IFD1 in a TIFF stream.
std::span<const std::uint8_t> previewInTiffStream(std::span<const std::uint8_t> stream) {
    tiff::MemoryRanges bytes(stream);
    tiff::StreamReader reader(bytes);
    const auto ifd0 = reader.readHeader();
    if (!ifd0) return {};
    const auto ifd0Count = reader.u16(*ifd0);
    if (!ifd0Count) return {};
    const auto ifd1 = reader.u32(tiff::entryOffset(*ifd0, *ifd0Count));
    // IFD1 after IFD0, so that a chain cannot point back on itself.
    if (!ifd1 || *ifd1 <= *ifd0) return {};
    const auto ifd1Count = reader.u16(*ifd1);
    if (!ifd1Count) return {};
    std::optional<std::uint32_t> offset;
    std::optional<std::uint32_t> length;
    for (std::uint32_t index = 0; index < *ifd1Count; ++index) {
        const std::uint64_t entry = tiff::entryOffset(*ifd1, index);
        const auto tag = reader.u16(entry);
        if (!tag) return {};
        if (*tag == tiff::kJpegInterchangeFormatTag) offset = reader.singleValue(entry);
        if (*tag == tiff::kJpegInterchangeFormatLengthTag) length = reader.singleValue(entry);
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
