#include <gtest/gtest.h>

#include "CodecTestSupport.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

const Codec& webp() { return registeredCodec("WebP"); }

TEST(WebpCodec, decodesFilesAsImageMagickReadsThem) {
    struct Case {
        const char* file;
        const char* options;
        bool alphaSource;
    };
    const Case cases[] = {
        {"lossless.webp", "-define webp:lossless=true", false},
        {"lossy.webp", "-quality 70", false},
        {"alpha.webp", "-define webp:lossless=true", true},
        {"lossy-alpha.webp", "-quality 70", true},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.file(c.file);
        ASSERT_TRUE(magickConvert(makeSourcePng(dir.path(), c.alphaSource), c.options, path));
        const auto image = webp().decode(readBytes(path), {});
        ASSERT_NE(image, nullptr) << c.file;
        EXPECT_EQ(image->width, 48u);
        EXPECT_EQ(image->height, 32u);
        EXPECT_EQ(image->hasAlpha, c.alphaSource) << c.file;
        EXPECT_EQ(maxVisibleDifference(samples16(*image), magickSamples(path, "rgba")), 0) << c.file;
    }
}

TEST(WebpCodec, animationGivesItsFirstFrame) {
    TempDir dir;
    const std::string path = dir.file("animation.webp");
    ASSERT_TRUE(magick("-delay 10 -size 40x30 xc:red xc:blue -loop 0 -define webp:lossless=true " + quoted(path)));
    const auto image = webp().decode(readBytes(path), {});
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->width, 40u);
    ASSERT_EQ(image->height, 30u);
    const int channels = image->channels();
    for (std::size_t i = 0; i < image->pixels.size(); i += channels) {
        ASSERT_EQ(image->pixels[i], 255);
        ASSERT_EQ(image->pixels[i + 2], 0);
    }
}

TEST(WebpCodec, scaledDecodingKeepsAtLeastTheRequestedSize) {
    TempDir dir;
    const std::string path = dir.file("big.webp");
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path()), "-resize 200x120! -quality 90", path));
    const Bytes bytes = readBytes(path);
    struct Case {
        std::uint32_t minWidth, minHeight, width, height;
    };
    for (const Case& c : {Case{0, 0, 200, 120}, Case{50, 30, 50, 30}, Case{60, 20, 60, 36}, Case{20, 60, 100, 60},
                          Case{300, 10, 200, 120}}) {
        DecodeOptions options;
        options.minWidth = c.minWidth;
        options.minHeight = c.minHeight;
        const auto image = webp().decode(bytes, options);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, c.width) << c.minWidth << " x " << c.minHeight;
        EXPECT_EQ(image->height, c.height) << c.minWidth << " x " << c.minHeight;
    }
}

TEST(WebpCodec, headerCarriesTheIccProfile) {
    TempDir dir;
    const Bytes profile = makeIccProfile();  // dated: made once
    writeBytes(dir.file("srgb.icc"), profile);
    const std::string path = dir.file("tagged.webp");
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path(), true), "-profile " + quoted(dir.file("srgb.icc")), path));
    const auto header = webp().readHeader(readBytes(path));
    ASSERT_TRUE(header.has_value());
    EXPECT_TRUE(header->hasAlpha);
    EXPECT_FALSE(header->hasResolution);
    EXPECT_EQ(header->iccProfile, profile);
    EXPECT_EQ(webp().decode(readBytes(path), {})->iccProfile, profile);
}

void put24(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 3; ++i) bytes[at + i] = std::uint8_t(value >> (8 * i));
}

TEST(WebpCodec, refusesHostileFilesWithOneLogLine) {
    TempDir dir;
    const std::string path = dir.file("a.webp");
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path(), true), "-quality 80", path));
    const Bytes valid = readBytes(path);
    ASSERT_EQ(std::string(valid.begin() + 12, valid.begin() + 16), "VP8X");

    EXPECT_TRUE(refusedWithOneLine(webp(), {}));
    EXPECT_TRUE(refusedWithOneLine(webp(), truncated(valid, 20)));
    EXPECT_TRUE(refusedWithOneLine(webp(), truncated(valid, valid.size() / 2)));
    // Canvas sizes (minus one) are 24-bit fields of the VP8X chunk.
    Bytes bomb = valid;
    put24(bomb, 24, 100000 - 1);
    put24(bomb, 27, 100000 - 1);
    EXPECT_TRUE(refusedWithOneLine(webp(), bomb));
    Bytes wide = valid;
    put24(wide, 24, 70000 - 1);
    put24(wide, 27, 10 - 1);
    EXPECT_TRUE(refusedWithOneLine(webp(), wide));
    // A real size over the caller's limits.
    DecodeOptions small;
    small.limits.maxPixels = 1000;
    EXPECT_TRUE(refusedWithOneLine(webp(), valid, small));
}

} // namespace
} // namespace pellora::test
