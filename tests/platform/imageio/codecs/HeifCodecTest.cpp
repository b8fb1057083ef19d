#include <gtest/gtest.h>

#include "CodecTestSupport.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

const Codec& heif() { return registeredCodec("HEIF"); }

TEST(HeifCodec, decodesFilesAsImageMagickReadsThem) {
    TempDir dir;
    const std::string path = dir.file("image.heic");
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path()), "-quality 90", path));
    const Bytes bytes = readBytes(path);
    EXPECT_TRUE(heif().sniff(bytes));
    const auto header = heif().readHeader(bytes);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, 48u);
    EXPECT_EQ(header->height, 32u);
    EXPECT_EQ(header->bitsPerComponent, 8);
    EXPECT_FALSE(header->hasAlpha);
    EXPECT_TRUE(header->iccProfile.empty());

    const auto image = heif().decode(bytes, {});
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 48u);
    EXPECT_EQ(image->height, 32u);
    EXPECT_EQ(image->sampleFormat, SampleFormat::UInt8);
    // Both decode the HEVC data with libde265; ImageMagick then turns the
    // YCbCr planes into RGB itself, with its own rounding and upsampling.
    EXPECT_LE(maxVisibleDifference(samples16(*image), magickSamples(path, "rgba")), 8 * 257);
}

// The HEIF with every `ispe` (image spatial extent) property set to width × height.
Bytes withExtent(Bytes bytes, std::uint32_t width, std::uint32_t height) {
    const std::string text(bytes.begin(), bytes.end());
    for (std::size_t at = text.find("ispe"); at != std::string::npos; at = text.find("ispe", at + 4)) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + 8 + i] = std::uint8_t(width >> (24 - 8 * i));
            bytes[at + 12 + i] = std::uint8_t(height >> (24 - 8 * i));
        }
    }
    return bytes;
}

TEST(HeifCodec, refusesHostileFilesWithOneLogLine) {
    TempDir dir;
    const std::string path = dir.file("a.heic");
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path()), "-quality 80", path));
    const Bytes valid = readBytes(path);

    EXPECT_TRUE(refusedWithOneLine(heif(), {}));
    EXPECT_TRUE(refusedWithOneLine(heif(), truncated(valid, 24)));
    EXPECT_TRUE(refusedWithOneLine(heif(), truncated(valid, valid.size() - 40)));
    EXPECT_TRUE(refusedWithOneLine(heif(), withExtent(valid, 100000, 100000)));
    EXPECT_TRUE(refusedWithOneLine(heif(), withExtent(valid, 20000, 20000)));  // 400 megapixels
    DecodeOptions small;
    small.limits.maxSide = 40;
    EXPECT_TRUE(refusedWithOneLine(heif(), valid, small));
}

TEST(HeifCodec, sniffsHeifBrandsOnly) {
    auto ftyp = [](const char* brand) {
        Bytes bytes = {0, 0, 0, 24, 'f', 't', 'y', 'p'};
        bytes.insert(bytes.end(), brand, brand + 4);
        return bytes;
    };
    EXPECT_TRUE(heif().sniff(ftyp("heic")));
    EXPECT_TRUE(heif().sniff(ftyp("mif1")));
    EXPECT_FALSE(heif().sniff(ftyp("isom")));  // an MP4 video
    EXPECT_FALSE(heif().sniff(ftyp("hei")));
}

} // namespace
} // namespace pellora::test
