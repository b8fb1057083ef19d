#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "platform/imageio/codecs/JpegCodec.h"
#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

// What single codecs do beyond the checks every codec shares: the frame of an
// animation, the layout of what they write, and how quality shapes it.
namespace pellora::test {
namespace {

EncodeOptions withQuality(float quality, bool hasAlpha) {
    EncodeOptions options;
    options.quality = quality;
    options.hasAlpha = hasAlpha;
    return options;
}

// The output of `identify -format` for a file.
std::string identify(const std::string& format, const std::string& path) {
    std::string description;
    runCommand("identify -format '" + format + "' " + quoted(path), &description);
    return description;
}

TEST(CodecParticulars, animationsGiveTheirFirstFrameOnTheLogicalScreen) {
    TempDir dir;
    // GIF: a 10 × 8 blue first frame at (5, 7) of a 40 × 30 screen, then a red full frame.
    ASSERT_TRUE(magick("-dispose none -page 40x30+5+7 -size 10x8 xc:blue -page 40x30+0+0 -size 40x30 xc:red " +
                       quoted(dir.file("a.gif"))));
    ASSERT_TRUE(magick("-delay 10 -size 40x30 xc:blue xc:red -loop 0 -define webp:lossless=true " +
                       quoted(dir.file("a.webp"))));
    const std::string gifBytes = readFile(dir.file("a.gif"));
    const auto header = registeredCodec("GIF").readHeader(bytesOf(gifBytes));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(std::tuple(header->width, header->height, header->hasAlpha, header->isIndexed), std::tuple(40u, 30u, true, true));
    for (const auto& [codec, file, inset] : {std::tuple{"GIF", "a.gif", true}, {"WebP", "a.webp", false}}) {
        SCOPED_TRACE(file);
        const auto image = registeredCodec(codec).decode(bytesOf(readFile(dir.file(file))), {});
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(std::pair(image->width, image->height), std::pair(40u, 30u));
        const auto rgba = rgba8(*image);
        for (std::uint32_t i = 0; i < 40 * 30; ++i) {
            const std::uint32_t x = i % 40, y = i / 40;
            const bool covered = !inset || (x >= 5 && x < 15 && y >= 7 && y < 15);
            const std::uint8_t expected[4] = {0, 0, std::uint8_t(covered ? 255 : 0), std::uint8_t(covered ? 255 : 0)};
            ASSERT_EQ(std::memcmp(&rgba[i * 4], expected, 4), 0) << x << ", " << y;
        }
    }
}

// ImageMagick's description of our output: how its strips are compressed,
// the resolution and the channels; exiftool reads the JPEG 2000 display
// resolution box (283.4646 points per 10 cm are 72 per inch).
TEST(CodecParticulars, tiffAndJpeg2000WriteTheirResolutionAndStraightAlphaLosslessly) {
    TempDir dir;
    const TestBitmap bitmap = makeTestBitmap(40, 24, true);
    Bytes tiff, jp2;
    ASSERT_TRUE(registeredCodec("TIFF").encode(bitmap.view(), {}, tiff));
    writeFile(dir.file("out.tiff"), std::string(tiff.begin(), tiff.end()));
    EXPECT_EQ(identify("%C %x %y %U %[channels]", dir.file("out.tiff")), "LZW 72 72 PixelsPerInch srgba");

    const Codec& jpeg2000 = registeredCodec("JPEG 2000");
    ASSERT_TRUE(jpeg2000.encode(bitmap.view(), withQuality(1.0f, true), jp2));
    const std::string path = dir.file("out.jp2");
    writeFile(path, std::string(jp2.begin(), jp2.end()));
    const auto reference = magickSamples(path, "rgba");
    EXPECT_TRUE(showsStraightColours(reference, bitmap));
    const auto decoded = jpeg2000.decode(jp2, {});
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(maxDifference(samples16(*decoded), reference), 0);
    const auto header = jpeg2000.readHeader(jp2);
    ASSERT_TRUE(header.has_value());
    EXPECT_TRUE(header->hasResolution);
    EXPECT_NEAR(header->dpiWidth, 72.0, 1e-9);
    EXPECT_NEAR(header->dpiHeight, 72.0, 1e-9);
    std::string resolution;
    runCommand("exiftool -s3 -DisplayXResolution -DisplayYResolution -DisplayXResolutionUnit " + quoted(path), &resolution);
    EXPECT_EQ(resolution, "283.4646\n283.4646\n10 cm\n");
}

TEST(CodecParticulars, jpegQualityBelowNinetyPercentHalvesTheChroma) {
    TempDir dir;
    const std::string path = dir.file("q.jpg");
    const auto bitmap = makeTestBitmap(64, 64, false);
    const auto write = [&](const PlistValue& quality) {
        const auto destination = ImageDestination::createWithPath(path, kImageTypeJPEG);
        destination->addImage(bitmap.view(), {{kImageDestinationLossyCompressionQuality, quality}});
        EXPECT_TRUE(destination->finalize());
        return std::pair(identify("%[jpeg:sampling-factor]", path), readFile(path).size());
    };
    EXPECT_EQ(write(0.89).first, "2x2,1x1,1x1");
    EXPECT_EQ(write(0.9f).first, "1x1,1x1,1x1");  // also from a single-precision setting
    EXPECT_EQ(write(1.0).first, "1x1,1x1,1x1");
    EXPECT_LT(write(0.3).second, write(0.8).second);
}

TEST(CodecParticulars, aLowerJpeg2000QualityNeverGivesALargerFile) {
    TempDir dir;
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path()), "-resize 200% -depth 8", dir.file("big.rgba")));
    const std::string pixels = readFile(dir.file("big.rgba"));
    ASSERT_EQ(pixels.size(), 96u * 64 * 4);
    const RgbaBitmapView view{bytesOf(pixels).data(), 96, 64, 96 * 4, pixels.size()};
    std::vector<float> qualities;
    for (int step = 0; step <= 20; ++step) qualities.push_back(step / 20.0f);
    qualities.insert(qualities.end() - 1, 0.99f);
    std::size_t previous = 0, atExportDefault = 0;
    for (const float quality : qualities) {
        Bytes encoded;
        ASSERT_TRUE(registeredCodec("JPEG 2000").encode(view, withQuality(quality, false), encoded));
        EXPECT_GE(encoded.size(), previous) << "quality " << quality;
        previous = encoded.size();
        if (quality == 0.8f) atExportDefault = encoded.size();
        ASSERT_NE(registeredCodec("JPEG 2000").decode(encoded, {}), nullptr);
    }
    // The default quality of the export (0.8) is lossy: well under the lossless size.
    EXPECT_LT(atExportDefault * 2, previous);
}

// An opaque bitmap goes to libjpeg as it is; one with any transparency is
// composited over white first. Both ways give the same file for the same picture.
TEST(CodecParticulars, anOpaqueJpegBitmapEncodesAsTheSamePictureCompositedOverWhite) {
    const auto bitmap = makeTestBitmap(37, 21, false);
    // The last pixel white, then nothing (over white).
    auto opaque = bitmap.pixels;
    std::fill(opaque.end() - 4, opaque.end(), std::uint8_t{255});
    auto transparent = opaque;
    std::fill(transparent.end() - 4, transparent.end(), std::uint8_t{0});

    const JpegCodec codec;
    const auto encode = [&codec](const auto& pixels) {
        std::vector<std::uint8_t> encoded;
        EXPECT_TRUE(codec.encode({pixels.data(), 37, 21, 37 * 4, pixels.size()}, EncodeOptions{}, encoded));
        return encoded;
    };
    const std::vector<std::uint8_t> fromOpaque = encode(opaque);
    EXPECT_FALSE(fromOpaque.empty());
    EXPECT_EQ(fromOpaque, encode(transparent));
}

} // namespace
} // namespace pellora::test
