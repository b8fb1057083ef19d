#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/imageio/ImageSource.h"
#include "platform/imageio/RowDecoder.h"
#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

// TIFF decoded a strip at a time gives the same samples as the whole decode.
namespace pellora::test {
namespace {

struct Layout {
    const char* name;
    const char* options;  // ImageMagick's, on a 61 x 45 picture
    bool byRows;          // decoded a strip at a time
};
const Layout kLayouts[] = {
    {"RGB 8-bit, strips of 7 rows", "-depth 8 -define tiff:rows-per-strip=7", true},
    {"RGB 16-bit", "-depth 16 -define tiff:rows-per-strip=4", true},
    {"grey 8-bit", "-colorspace Gray -depth 8 -define tiff:rows-per-strip=5", true},
    {"grey 16-bit", "-colorspace Gray -depth 16 -define tiff:rows-per-strip=9", true},
    {"grey 1-bit", "-colorspace Gray -monochrome -define tiff:rows-per-strip=6", true},
    {"RGBA", "-alpha set -channel A -fx 'i/w' +channel -depth 8 -define tiff:rows-per-strip=8", true},
    {"RGBA 16-bit planar", "-alpha set -channel A -fx 'j/h' +channel -depth 16 -interlace Plane "
                           "-define tiff:rows-per-strip=10", true},
    {"palette", "-colors 20 -type Palette -define tiff:rows-per-strip=11", true},
    {"CMYK", "-colorspace CMYK -depth 8 -define tiff:rows-per-strip=7", true},
    {"float", "-depth 32 -define quantum:format=floating-point -define tiff:rows-per-strip=6", true},
    {"orientation tag", "-depth 8 -orient RightTop -define tiff:rows-per-strip=7", true},
    {"one strip", "-depth 8 -define tiff:rows-per-strip=1000", true},
    {"JPEG YCbCr, through RGBA", "-compress JPEG -quality 80 -define tiff:rows-per-strip=16", true},
    {"tiled", "-depth 8 -define tiff:tile-geometry=32x32", false},
};

TEST(TiffRowDecoder, givesTheWholeDecodesSamplesForEveryStripLayout) {
    TempDir dir;
    const std::string source = dir.file("source.png");
    ASSERT_TRUE(magick("-seed 3 -size 61x45 plasma:fractal -depth 8 " + quoted(source)));
    for (const Layout& layout : kLayouts) {
        SCOPED_TRACE(layout.name);
        const std::string path = dir.file("image.tiff");
        ASSERT_TRUE(magickConvert(source, layout.options, path));
        const auto file = ImageSource::createWithPath(path);
        ASSERT_NE(file, nullptr);
        const DecodedImagePtr whole = file->decodeFirstImage();
        ASSERT_NE(whole, nullptr);
        ASSERT_EQ(file->decodesRows(), layout.byRows);
        if (!layout.byRows) continue;
        // The band is one strip, never the whole image (unless one strip holds it).
        EXPECT_LE(*file->rowDecodeMemory(), *file->decodeMemory());

        auto rows = file->openRowDecoder();
        ASSERT_NE(rows, nullptr);
        const DecodedImage& shape = rows->layout();
        ASSERT_EQ(shape.width, whole->width);
        ASSERT_EQ(shape.height, whole->height);
        EXPECT_EQ(shape.colorModel, whole->colorModel);
        EXPECT_EQ(shape.sampleFormat, whole->sampleFormat);
        EXPECT_EQ(shape.hasAlpha, whole->hasAlpha);
        ASSERT_EQ(shape.rowBytes, whole->rowBytes);
        EXPECT_EQ(shape.iccProfile, whole->iccProfile);
        std::vector<std::uint8_t> row(shape.rowBytes);
        int differing = 0;
        // Every third row, so that rows are skipped within strips and across them.
        for (std::uint32_t y = 0; y < shape.height; y += 3) {
            ASSERT_TRUE(rows->readRow(y, row.data())) << y;
            differing += std::memcmp(row.data(), whole->pixels.data() + y * whole->rowBytes, row.size()) != 0;
        }
        EXPECT_EQ(differing, 0);
    }
}

// A 4 x 8 grey image in two strips of four rows, whose second strip lies
// beyond the end of the file.
Bytes secondStripMissing() {
    Bytes b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put16 = [&](unsigned v) { b.push_back(std::uint8_t(v)); b.push_back(std::uint8_t(v >> 8)); };
    auto put32 = [&](std::uint32_t v) { put16(v & 0xffff); put16(v >> 16); };
    constexpr std::uint32_t kStripAt = 8 + 2 + 7 * 12 + 4;
    put16(7);
    // Tag, type, count and value of each entry; the strips' offsets and sizes are two shorts each.
    for (const auto& [tag, type, count, value] :
         {std::array<std::uint32_t, 4>{256, 4, 1, 4}, {257, 4, 1, 8}, {258, 3, 1, 8}, {262, 3, 1, 1},
          {273, 3, 2, kStripAt | (0x4000u << 16)}, {278, 4, 1, 4}, {279, 3, 2, 16 | (16u << 16)}}) {
        put16(tag);
        put16(type);
        put32(count);
        put32(value);
    }
    put32(0);
    b.resize(b.size() + 16, 0x80);
    return b;
}

TEST(TiffRowDecoder, aStripThatCannotBeReadFailsItsRowsWithOneLogLine) {
    const Bytes bytes = secondStripMissing();
    const auto file = ImageSource::createWithData(bytes);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->decodesRows());
    auto rows = file->openRowDecoder();
    ASSERT_NE(rows, nullptr);
    std::vector<std::uint8_t> row(rows->layout().rowBytes);
    EXPECT_TRUE(rows->readRow(3, row.data()));
    EXPECT_EQ(row, std::vector<std::uint8_t>(4, 0x80));
    LogCapture log;
    EXPECT_FALSE(rows->readRow(4, row.data()));
    EXPECT_FALSE(rows->readRow(5, row.data()));
    EXPECT_TRUE(rows->failed());
    EXPECT_EQ(log.lines().size(), 1u);
}

} // namespace
} // namespace pellora::test
