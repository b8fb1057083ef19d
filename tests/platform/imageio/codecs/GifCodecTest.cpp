#include <cstring>
#include <gtest/gtest.h>

#include "CodecTestSupport.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

const Codec& gif() { return registeredCodec("GIF"); }

TEST(GifCodec, decodesFilesAsImageMagickReadsThem) {
    struct Case {
        const char* file;
        const char* options;
        bool alphaSource;
    };
    const Case cases[] = {
        {"plain.gif", "-colors 64", false},
        {"interlaced.gif", "-colors 64 -interlace GIF", false},
        {"transparent.gif", "-channel A -threshold 50% +channel -colors 32", true},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.file(c.file);
        ASSERT_TRUE(magickConvert(makeSourcePng(dir.path(), c.alphaSource), c.options, path));
        const auto image = gif().decode(readBytes(path), {});
        ASSERT_NE(image, nullptr) << c.file;
        EXPECT_EQ(image->width, 48u);
        EXPECT_EQ(image->height, 32u);
        EXPECT_EQ(image->hasAlpha, c.alphaSource) << c.file;
        EXPECT_EQ(maxVisibleDifference(samples16(*image), magickSamples(path, "rgba")), 0) << c.file;
    }
}

TEST(GifCodec, firstFrameLiesOnTheLogicalScreenWithTheRestTransparent) {
    TempDir dir;
    const std::string path = dir.file("frames.gif");
    // A 10 × 8 blue first frame at (5, 7) of a 40 × 30 screen, then a red full frame.
    ASSERT_TRUE(magick("-dispose none -page 40x30+5+7 -size 10x8 xc:blue -page 40x30+0+0 -size 40x30 xc:red " + quoted(path)));
    const Bytes bytes = readBytes(path);
    const auto header = gif().readHeader(bytes);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, 40u);
    EXPECT_EQ(header->height, 30u);
    EXPECT_TRUE(header->hasAlpha);
    EXPECT_TRUE(header->isIndexed);

    const auto image = gif().decode(bytes, {});
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->channels(), 4);
    for (std::uint32_t y = 0; y < 30; ++y) {
        for (std::uint32_t x = 0; x < 40; ++x) {
            const std::uint8_t* p = image->pixels.data() + y * image->rowBytes + x * 4;
            const bool inside = x >= 5 && x < 15 && y >= 7 && y < 15;
            const std::uint8_t expected[4] = {0, 0, std::uint8_t(inside ? 255 : 0), std::uint8_t(inside ? 255 : 0)};
            ASSERT_EQ(std::memcmp(p, expected, 4), 0) << x << ", " << y;
        }
    }
}

// A GIF with its logical screen bytes replaced.
Bytes withScreen(Bytes bytes, std::uint16_t width, std::uint16_t height) {
    bytes[6] = std::uint8_t(width);
    bytes[7] = std::uint8_t(width >> 8);
    bytes[8] = std::uint8_t(height);
    bytes[9] = std::uint8_t(height >> 8);
    return bytes;
}

TEST(GifCodec, refusesHostileFilesWithOneLogLine) {
    TempDir dir;
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path()), "-colors 64", dir.file("a.gif")));
    const Bytes valid = readBytes(dir.file("a.gif"));

    EXPECT_TRUE(refusedWithOneLine(gif(), {}));
    EXPECT_TRUE(refusedWithOneLine(gif(), truncated(valid, 10)));
    EXPECT_TRUE(refusedWithOneLine(gif(), truncated(valid, valid.size() / 2)));
    const Bytes bomb = withScreen(valid, 65535, 65535);
    const auto header = gif().readHeader(bomb);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, 65535u);
    EXPECT_TRUE(refusedWithOneLine(gif(), bomb));
    // Within the limits, just no colour table and no image.
    EXPECT_TRUE(refusedWithOneLine(gif(), Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'}));
}

TEST(GifCodec, sniffsBothVersions) {
    EXPECT_TRUE(gif().sniff(Bytes{'G', 'I', 'F', '8', '7', 'a'}));
    EXPECT_TRUE(gif().sniff(Bytes{'G', 'I', 'F', '8', '9', 'a'}));
    EXPECT_FALSE(gif().sniff(Bytes{'G', 'I', 'F', '8', '8', 'a'}));
    EXPECT_FALSE(gif().sniff(Bytes{'G', 'I', 'F'}));
    EXPECT_TRUE(gif().typeIdentifier().empty());
}

} // namespace
} // namespace pellora::test
