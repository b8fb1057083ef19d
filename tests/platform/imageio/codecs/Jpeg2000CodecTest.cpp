#include <gtest/gtest.h>

#include "CodecTestSupport.h"
#include "platform/imageio/CodecRegistry.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

const Codec& jpeg2000() { return registeredCodec("JPEG 2000"); }

TEST(Jpeg2000Codec, decodesFilesAsImageMagickReadsThem) {
    struct Case {
        const char* file;
        const char* options;
        bool alphaSource;
        ColorModel model;
        SampleFormat format;
    };
    const Case cases[] = {
        {"rgb.jp2", "-quality 100", false, ColorModel::RGB, SampleFormat::UInt8},
        {"lossy.jp2", "-quality 40", false, ColorModel::RGB, SampleFormat::UInt8},
        {"rgba.jp2", "-quality 100", true, ColorModel::RGB, SampleFormat::UInt8},
        {"grey.jp2", "-colorspace gray", false, ColorModel::Gray, SampleFormat::UInt8},
        {"deep.jp2", "-depth 16", false, ColorModel::RGB, SampleFormat::UInt16},
        {"codestream.j2k", "", false, ColorModel::RGB, SampleFormat::UInt8},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.file(c.file);
        ASSERT_TRUE(magickConvert(makeSourcePng(dir.path(), c.alphaSource), c.options, path));
        const Bytes bytes = readBytes(path);
        EXPECT_EQ(registeredCodec("JPEG 2000").sniff(bytes), true) << c.file;
        const auto image = jpeg2000().decode(bytes, {});
        ASSERT_NE(image, nullptr) << c.file;
        EXPECT_EQ(image->width, 48u);
        EXPECT_EQ(image->height, 32u);
        EXPECT_EQ(image->colorModel, c.model) << c.file;
        EXPECT_EQ(image->sampleFormat, c.format) << c.file;
        EXPECT_EQ(image->hasAlpha, c.alphaSource) << c.file;
        // Both read through OpenJPEG: the same samples, up to 8-bit rounding.
        const int tolerance = c.format == SampleFormat::UInt8 ? 128 : 0;
        EXPECT_LE(maxDifference(samples16(*image), magickSamples(path, "rgba")), tolerance) << c.file;
        const auto header = jpeg2000().readHeader(bytes);
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(header->colorModel, c.model) << c.file;
        EXPECT_EQ(header->hasAlpha, c.alphaSource) << c.file;
    }
}

TEST(Jpeg2000Codec, losslessOutputReadsBackExactlyWithItsResolution) {
    TempDir dir;
    const TestBitmap bitmap = makeTranslucentBitmap(40, 24);
    const std::string path = dir.file("out.jp2");
    ASSERT_TRUE(encodeToFile(jpeg2000(), bitmap, test::encodeOptions(1.0f, true, 72.0), path));

    const auto reference = magickSamples(path, "rgba");
    EXPECT_TRUE(showsStraightColours(reference, bitmap));
    const auto decoded = jpeg2000().decode(readBytes(path), {});
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(maxDifference(samples16(*decoded), reference), 0);

    const auto header = jpeg2000().readHeader(readBytes(path));
    ASSERT_TRUE(header.has_value());
    EXPECT_TRUE(header->hasResolution);
    EXPECT_NEAR(header->dpiWidth, 72.0, 1e-9);
    EXPECT_NEAR(header->dpiHeight, 72.0, 1e-9);
    // An independent reader of the display resolution box.
    std::string resolution;
    runCommand("exiftool -s3 -DisplayXResolution -DisplayYResolution -DisplayXResolutionUnit " + quoted(path), &resolution);
    // 283.4646 points per 10 cm: 2834.646 per metre, 72 per inch.
    EXPECT_EQ(resolution, "283.4646\n283.4646\n10 cm\n");
}

TEST(Jpeg2000Codec, withoutAlphaWritesRgbOverWhite) {
    TempDir dir;
    const TestBitmap bitmap = makeTranslucentBitmap(40, 24);
    const std::string path = dir.file("out.jp2");
    ASSERT_TRUE(encodeToFile(jpeg2000(), bitmap, test::encodeOptions(1.0f, false, 300.0), path));
    EXPECT_TRUE(showsOverWhite(magickSamples(path, "rgba"), bitmap, 0));
    const auto header = jpeg2000().readHeader(readBytes(path));
    ASSERT_TRUE(header.has_value());
    EXPECT_FALSE(header->hasAlpha);
    EXPECT_NEAR(header->dpiWidth, 300.0, 1e-9);
}

TEST(Jpeg2000Codec, aLowerQualityNeverGivesALargerFile) {
    TempDir dir;
    const std::string source = makeSourcePng(dir.path());
    ASSERT_TRUE(magickConvert(source, "-resize 200% -depth 8", dir.file("big.rgba")));
    const Bytes pixels = readBytes(dir.file("big.rgba"));
    ASSERT_EQ(pixels.size(), 96u * 64 * 4);
    const RgbaBitmapView view{pixels.data(), 96, 64, 96 * 4};

    auto fileFor = [&](float quality) { return dir.file(std::to_string(quality).append(".jp2")); };
    std::size_t previous = 0;
    std::vector<float> qualities;
    for (int step = 0; step <= 20; ++step) qualities.push_back(step / 20.0f);
    qualities.insert(qualities.end() - 1, 0.99f);
    for (float quality : qualities) {
        const std::string path = fileFor(quality);
        Bytes encoded;
        ASSERT_TRUE(jpeg2000().encode(view, test::encodeOptions(quality, false, 72.0), encoded));
        writeBytes(path, encoded);
        const std::size_t size = encoded.size();
        EXPECT_GE(size, previous) << "quality " << quality;
        previous = size;
        ASSERT_NE(jpeg2000().decode(readBytes(path), {}), nullptr);
    }
    // The default quality of the export (0.8) is lossy: well under the lossless size.
    EXPECT_LT(readBytes(fileFor(0.8f)).size() * 2, previous);
}

TEST(Jpeg2000Codec, reducedDecodingNeverGoesBelowTheRequestedSize) {
    TempDir dir;
    const std::string path = dir.file("big.jp2");
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path()), "-resize 200x120! -quality 100", path));
    const Bytes bytes = readBytes(path);
    struct Case {
        std::uint32_t minWidth, minHeight, width, height;
    };
    const Case cases[] = {
        {0, 0, 200, 120}, {200, 1, 200, 120}, {100, 60, 100, 60}, {101, 1, 200, 120},
        {50, 30, 50, 30}, {51, 30, 100, 60}, {1, 1, 7, 4}, {7, 0, 7, 4},
    };
    for (const Case& c : cases) {
        DecodeOptions options;
        options.minWidth = c.minWidth;
        options.minHeight = c.minHeight;
        const auto image = jpeg2000().decode(bytes, options);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, c.width) << c.minWidth << " x " << c.minHeight;
        EXPECT_EQ(image->height, c.height) << c.minWidth << " x " << c.minHeight;
    }
}

// Offset of the SIZ marker's Xsiz field in a file.
std::size_t sizOffset(const Bytes& bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (bytes[i] == 0xff && bytes[i + 1] == 0x51) return i + 6;
    }
    return 0;
}

void put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = std::uint8_t(value >> (24 - 8 * i));
}

TEST(Jpeg2000Codec, refusesHostileFilesWithOneLogLine) {
    TempDir dir;
    const std::string source = makeSourcePng(dir.path());
    ASSERT_TRUE(magickConvert(source, "", dir.file("a.jp2")));
    ASSERT_TRUE(magickConvert(source, "", dir.file("a.j2k")));
    const Bytes jp2 = readBytes(dir.file("a.jp2"));
    const Bytes j2k = readBytes(dir.file("a.j2k"));

    EXPECT_TRUE(refusedWithOneLine(jpeg2000(), {}));
    EXPECT_TRUE(refusedWithOneLine(jpeg2000(), truncated(jp2, 20)));
    EXPECT_TRUE(refusedWithOneLine(jpeg2000(), truncated(jp2, jp2.size() / 2)));
    EXPECT_TRUE(refusedWithOneLine(jpeg2000(), truncated(j2k, j2k.size() / 2)));
    EXPECT_TRUE(refusedWithOneLine(jpeg2000(), truncated(j2k, j2k.size() - 2)));

    // Claims of 100000 × 100000: the header reports them, decoding refuses.
    Bytes bomb = j2k;
    put32(bomb, sizOffset(bomb), 100000);
    put32(bomb, sizOffset(bomb) + 4, 100000);
    put32(bomb, sizOffset(bomb) + 16, 100000);  // one tile
    put32(bomb, sizOffset(bomb) + 20, 100000);
    const auto header = jpeg2000().readHeader(bomb);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, 100000u);
    EXPECT_TRUE(refusedWithOneLine(jpeg2000(), bomb));

    // Within the pixel limits but split into 60 million one-pixel tiles.
    Bytes tiles = j2k;
    put32(tiles, sizOffset(tiles), 60000);
    put32(tiles, sizOffset(tiles) + 4, 1000);
    put32(tiles, sizOffset(tiles) + 16, 1);
    put32(tiles, sizOffset(tiles) + 20, 1);
    EXPECT_TRUE(refusedWithOneLine(jpeg2000(), tiles));
}

TEST(Jpeg2000Codec, sniffsJp2FilesAndCodestreams) {
    const Codec& codec = jpeg2000();
    EXPECT_TRUE(codec.sniff(Bytes{0, 0, 0, 0x0c, 'j', 'P', ' ', ' ', 0x0d, 0x0a, 0x87, 0x0a}));
    EXPECT_TRUE(codec.sniff(Bytes{0xff, 0x4f, 0xff, 0x51}));
    EXPECT_FALSE(codec.sniff(Bytes{0, 0, 0, 0x0c, 'j', 'P', ' ', ' ', 0x0d, 0x0a, 0x87}));
    EXPECT_FALSE(codec.sniff(Bytes{0xff, 0xd8, 0xff, 0xe0}));
    EXPECT_EQ(CodecRegistry::shared().codecForTypeIdentifier("public.jpeg-2000"), &codec);
}

} // namespace
} // namespace pellora::test
