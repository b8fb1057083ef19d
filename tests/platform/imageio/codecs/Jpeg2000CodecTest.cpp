#include <gtest/gtest.h>

#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

const Codec& jpeg2000() { return registeredCodec("JPEG 2000"); }

EncodeOptions withQuality(float quality, bool hasAlpha) {
    EncodeOptions options;
    options.quality = quality;
    options.hasAlpha = hasAlpha;
    return options;
}

TEST(Jpeg2000Codec, losslessOutputReadsBackExactlyWithItsResolution) {
    TempDir dir;
    const TestBitmap bitmap = makeTestBitmap(40, 24, true);
    Bytes encoded;
    ASSERT_TRUE(jpeg2000().encode(bitmap.view(), withQuality(1.0f, true), encoded));
    const std::string path = dir.file("out.jp2");
    writeFile(path, std::string(encoded.begin(), encoded.end()));

    const auto reference = magickSamples(path, "rgba");
    EXPECT_TRUE(showsStraightColours(reference, bitmap));
    const auto decoded = jpeg2000().decode(encoded, {});
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(maxDifference(samples16(*decoded), reference), 0);
    const auto header = jpeg2000().readHeader(encoded);
    ASSERT_TRUE(header.has_value());
    EXPECT_TRUE(header->hasResolution);
    EXPECT_NEAR(header->dpiWidth, 72.0, 1e-9);
    EXPECT_NEAR(header->dpiHeight, 72.0, 1e-9);
    // An independent reader of the display resolution box: 283.4646 points per
    // 10 cm are 2834.646 per metre, 72 per inch.
    std::string resolution;
    runCommand("exiftool -s3 -DisplayXResolution -DisplayYResolution -DisplayXResolutionUnit " + quoted(path), &resolution);
    EXPECT_EQ(resolution, "283.4646\n283.4646\n10 cm\n");
}

TEST(Jpeg2000Codec, aLowerQualityNeverGivesALargerFile) {
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
        ASSERT_TRUE(jpeg2000().encode(view, withQuality(quality, false), encoded));
        EXPECT_GE(encoded.size(), previous) << "quality " << quality;
        previous = encoded.size();
        if (quality == 0.8f) atExportDefault = encoded.size();
        ASSERT_NE(jpeg2000().decode(encoded, {}), nullptr);
    }
    // The default quality of the export (0.8) is lossy: well under the lossless size.
    EXPECT_LT(atExportDefault * 2, previous);
}

} // namespace
} // namespace pellora::test
