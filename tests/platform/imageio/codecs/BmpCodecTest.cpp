#include <gtest/gtest.h>

#include "platform/imageio/ImageSource.h"
#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// The bytes of a string literal, embedded zeros included.
template <std::size_t size>
std::string bytes(const char (&literal)[size]) {
    return {literal, size - 1};
}

std::vector<std::uint8_t> decodeRgba(const std::string& file) {
    const auto source = ImageSource::createWithData(test::bytesOf(file));
    const auto image = source ? source->decodeFirstImage() : nullptr;
    return image ? test::rgba8(*image) : std::vector<std::uint8_t>{};
}

constexpr std::uint8_t K[] = {0, 0, 0, 255}, R[] = {255, 0, 0, 255}, G[] = {0, 255, 0, 255}, B[] = {0, 0, 255, 255},
                       W[] = {255, 255, 255, 255};

std::vector<std::uint8_t> pixels(std::initializer_list<const std::uint8_t*> list) {
    std::vector<std::uint8_t> out;
    for (const auto* pixel : list) out.insert(out.end(), pixel, pixel + 4);
    return out;
}

TEST(BmpCodec, decodesImageMagicksVariantsAsImageMagickDoes) {
    test::TempDir dir;
    const std::string source = dir.file("source.png");
    ASSERT_TRUE(test::magick("-size 37x23 -seed 7 plasma:orange-navy -alpha on -channel A -fx 'i/w' " + test::quoted(source)));
    const std::pair<const char*, const char*> variants[] = {
        {"-alpha off -colors 2 -type Palette", "bmp3"},                  // 1-bit
        {"-alpha off -colors 16 -type Palette", "bmp3"},                 // 4-bit
        {"-alpha off -colors 200 -type Palette -compress RLE", "bmp3"},  // RLE8
        {"-alpha off", "bmp2"},                                          // OS/2 core header, 24-bit
        {"-alpha off -define bmp:subtype=RGB565", "bmp"},                // 16-bit bit fields
        {"", "bmp"},                                                     // V5, 32-bit with alpha
    };
    int index = 0;
    for (const auto& [options, format] : variants) {
        SCOPED_TRACE(options);
        const std::string path = dir.file(std::to_string(index++) + "-variant.bmp");
        ASSERT_TRUE(test::magickConvert(source, options, format + (":" + path)));
        EXPECT_LE(test::maxVisibleDifference(decodeRgba(test::readFile(path)), test::to8(test::magickSamples(path, "rgba"))), 1);
    }
}

// Byte strings laid out as they are read: run-length 4-bit data with
// literals, deltas and early line ends; top-down rows; indices past the palette.
// clang-format off
TEST(BmpCodec, runLengthDataTopDownRowsAndIndicesPastThePalette) {
    const std::string palette = bytes("\0\0\0\0" "\0\0\xff\0" "\0\xff\0\0");  // black, red, green
    const std::string data = bytes("\x06\x12" "\0\0"            // bottom row: 1 2 1 2 1 2
                                   "\0\x04\x21\x12" "\0\0"      // literal 2 1 1 2, the rest skipped
                                   "\0\x02\x03\x00" "\x02\x22"  // move right by 3, then 2 2
                                   "\0\x01");                   // end of bitmap
    EXPECT_EQ(decodeRgba(test::bmpFile(6, 3, 4, 2, palette, data)),
              pixels({K, K, K, G, G, K, G, R, R, G, K, K, R, G, R, G, R, G}));
    const std::string rows = bytes("\0\0\xff" "\xff\0\0" "\0\0"         // red, blue, padding
                                   "\0\xff\0" "\xff\xff\xff" "\0\0");  // green, white
    EXPECT_EQ(decodeRgba(test::bmpFile(2, -2, 24, 0, "", rows)), pixels({R, B, G, W}));
    // Index 3 lies past a two-colour palette: drawn black, not read out of bounds.
    const std::string twoColours = bytes("\xff\xff\xff\0" "\0\0\xff\0");
    EXPECT_EQ(decodeRgba(test::bmpFile(2, 1, 8, 0, twoColours, bytes("\x01\x03\0\0"))), pixels({R, K}));
}
// clang-format on

TEST(BmpCodec, malformedHeadersAreRefusedWithOneLine) {
    const std::string rgb(8, '\0');
    const std::string cases[] = {
        test::bmpFile(0, 2, 24, 0, "", rgb),                          // no width
        test::bmpFile(-5, 2, 24, 0, "", rgb),                         // negative width
        test::bmpFile(2, 0, 24, 0, "", rgb),                          // no height
        test::bmpFile(2, -2147483647 - 1, 24, 0, "", rgb),            // height that cannot be negated
        test::bmpFile(2, 2, 7, 0, "", rgb),                           // no such depth
        test::bmpFile(2, 2, 24, 4, "", rgb),                          // embedded JPEG
        test::bmpFile(2, -2, 8, 1, std::string(8, '\0'), rgb),        // top-down run lengths
        test::bmpFile(2, 2, 16, 3, "", rgb),                          // bit fields with no masks
        test::bmpFile(2, 3, 24, 0, "", rgb),                          // a row short
        test::bmpFile(2, 2, 8, 1, std::string(8, '\0'), "\x02\x01"),  // run lengths without an end
    };
    for (const auto& file : cases) {
        test::LogCapture log;
        EXPECT_TRUE(decodeRgba(file).empty());
        EXPECT_EQ(log.lines().size(), 1u);
    }
}

} // namespace
} // namespace pellora
