#include <gtest/gtest.h>

#include <array>

#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

const Codec& tiff() { return registeredCodec("TIFF"); }

// ImageMagick's description of our output: how its strips are compressed,
// the resolution and the channels.
TEST(TiffCodec, writesLzwAtItsResolutionWithStraightAlpha) {
    TempDir dir;
    Bytes encoded;
    EncodeOptions options;
    ASSERT_TRUE(tiff().encode(makeTestBitmap(40, 24, true).view(), options, encoded));
    writeFile(dir.file("out.tiff"), std::string(encoded.begin(), encoded.end()));
    std::string description;
    runCommand("identify -format '%C %x %y %U %[channels]' " + quoted(dir.file("out.tiff")), &description);
    EXPECT_EQ(description, "LZW 72 72 PixelsPerInch srgba");
}

// A little-endian TIFF whose first directory claims width × height, 8-bit
// grey, one strip of 16 bytes that the file does hold.
Bytes claimedTiff(std::uint32_t width, std::uint32_t height) {
    Bytes b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put16 = [&](unsigned v) { b.push_back(std::uint8_t(v)); b.push_back(std::uint8_t(v >> 8)); };
    auto put32 = [&](std::uint32_t v) { put16(v & 0xffff); put16(v >> 16); };
    put16(7);
    // Tag, type and value of each entry: size, depth, photometric, strip offset (just after
    // the directory), rows per strip, strip bytes.
    for (const auto& [tag, type, value] : {std::array<std::uint32_t, 3>{256, 4, width}, {257, 4, height}, {258, 3, 8},
                                           {262, 3, 1}, {273, 4, 8 + 2 + 7 * 12 + 4}, {278, 4, height}, {279, 4, 16}}) {
        put16(tag);
        put16(type);
        put32(1);
        put32(value);
    }
    put32(0);
    b.resize(b.size() + 16, 0x80);
    return b;
}

TEST(TiffCodec, directoriesThatLieAreRefused) {
    EXPECT_TRUE(refusedWithOneLine(tiff(), Bytes{'I', 'I', 42, 0, 0xff, 0xff, 0xff, 0x7f}));
    // The header is read without touching pixels; decoding refuses the size.
    const Bytes bomb = claimedTiff(100000, 100000);
    const auto header = tiff().readHeader(bomb);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, 100000u);
    EXPECT_TRUE(refusedWithOneLine(tiff(), bomb));
    // A 4 × 4 image with its 16 bytes decodes; a claimed 4 × 400 does not have them.
    EXPECT_NE(tiff().decode(claimedTiff(4, 4), {}), nullptr);
    EXPECT_TRUE(refusedWithOneLine(tiff(), claimedTiff(4, 400)));
}

} // namespace
} // namespace pellora::test
