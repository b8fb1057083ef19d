#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/imageio/TiffBytes.h"
#include "platform/imageio/metadata/ExifPreview.h"

namespace pellora {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A little-endian TIFF stream: IFD0 at 8 (one orientation entry, or as many
// as ifd0Count claims), IFD1 where ifd1Offset says with the preview's
// offset and length, then a four-byte JPEG at kPreviewAt.
struct Layout {
    std::uint32_t ifd1Offset = 26;
    std::uint32_t previewOffset = 56;
    std::uint32_t previewLength = 4;
    std::uint16_t ifd0Count = 1;
    std::uint32_t lengthCount = 1;
    std::uint8_t previewFirstByte = 0xff;
};
constexpr std::size_t kPreviewAt = 56;

Bytes tiffStream(const Layout& layout) {
    test::TiffBytes tiff;
    tiff.u16(layout.ifd0Count);
    tiff.entry(0x0112, 3, 1, 6);
    tiff.u32(layout.ifd1Offset);
    tiff.u16(2);
    tiff.entry(0x0201, 4, 1, layout.previewOffset);
    tiff.entry(0x0202, 4, layout.lengthCount, layout.previewLength);
    tiff.u32(0);
    tiff.bytes.insert(tiff.bytes.end(), {layout.previewFirstByte, 0xd8, 0xff, 0xd9});
    return tiff.bytes;
}

// The stream in a JPEG's EXIF APP1 segment, after an APP0 segment.
Bytes jpegWith(const Bytes& stream) {
    const std::size_t length = 2 + 6 + stream.size();
    const Bytes head{0xff, 0xd8, 0xff, 0xe0, 0, 4, 'J', 'F',
                     0xff, 0xe1, std::uint8_t(length >> 8), std::uint8_t(length), 'E', 'x', 'i', 'f', 0, 0};
    const Bytes tail{0xff, 0xda, 0, 2, 0xff, 0xd9};
    Bytes bytes(head.size() + stream.size() + tail.size());
    std::copy(tail.begin(), tail.end(), std::copy(stream.begin(), stream.end(), std::copy(head.begin(), head.end(), bytes.begin())));
    return bytes;
}

TEST(ExifPreview, everyOffsetOutsideTheBytesOrOutOfOrderIsRefused) {
    const std::vector<std::pair<std::string, Layout>> cases{
        {"preview beyond the end", {.previewOffset = 4096}},
        {"length beyond the end", {.previewLength = 5}},
        {"offset and length wrapping around 32 bits", {.previewOffset = 0xfffffff0u, .previewLength = 0x14}},
        {"IFD1 beyond the end", {.ifd1Offset = 0xfffffff0u}},
        {"IFD1 pointing back at IFD0", {.ifd1Offset = 8}},
        {"IFD0 claiming more entries than the bytes hold", {.ifd0Count = 0xffff}},
        {"a length of several values", {.lengthCount = 2}},
        {"a preview that is not a JPEG", {.previewFirstByte = 0x00}},
    };
    for (const auto& [name, layout] : cases) {
        const Bytes stream = tiffStream(layout);
        EXPECT_TRUE(exifPreviewJpeg(stream).empty()) << name;
        EXPECT_TRUE(exifPreviewJpeg(jpegWith(stream)).empty()) << name;
    }
}

// Found in a TIFF stream and in a JPEG file; a truncated file gives none
// until its EXIF segment is whole, and is never read beyond its bytes.
TEST(ExifPreview, isFoundInTiffStreamsAndWholeJpegSegmentsOnly) {
    const Bytes stream = tiffStream({});
    const auto preview = exifPreviewJpeg(stream);
    ASSERT_EQ(preview.size(), 4u);
    EXPECT_EQ(preview.data(), stream.data() + kPreviewAt);

    const Bytes jpeg = jpegWith(stream);
    const std::size_t segmentEnd = jpeg.size() - 6;  // the scan follows
    for (std::size_t size = 0; size <= jpeg.size(); ++size) {
        // Exactly sized, so that a read past the end is caught under AddressSanitizer.
        const Bytes prefix(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(size));
        const auto inJpeg = exifPreviewJpeg(prefix);
        // Until the EXIF segment is whole, it declares more bytes than the prefix holds.
        EXPECT_EQ(inJpeg.empty(), size < segmentEnd) << size;
        if (!inJpeg.empty()) {
            EXPECT_EQ(Bytes(inJpeg.begin(), inJpeg.end()), Bytes(preview.begin(), preview.end())) << size;
        }
    }
}

} // namespace
} // namespace pellora
