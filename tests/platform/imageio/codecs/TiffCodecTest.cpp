#include <gtest/gtest.h>

#include "CodecTestSupport.h"
#include "platform/imageio/CodecRegistry.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

const Codec& tiff() { return registeredCodec("TIFF"); }

struct Variant {
    const char* name;
    const char* options;   // ImageMagick options writing the TIFF
    bool alphaSource;
    ColorModel model;
    SampleFormat format;
    bool hasAlpha;
    int tolerance;         // in 16-bit units
};

// Each storage layout, compared with ImageMagick's reading of the same file.
const Variant kVariants[] = {
    {"rgb8_lzw", "-compress lzw", false, ColorModel::RGB, SampleFormat::UInt8, false, 0},
    {"rgb16_zip", "-depth 16 -compress zip", false, ColorModel::RGB, SampleFormat::UInt16, false, 0},
    {"rgba_unassociated", "-compress lzw", true, ColorModel::RGB, SampleFormat::UInt8, true, 0},
    // Premultiplied on disk: both readers divide by alpha, with their own rounding.
    {"rgba16_associated", "-depth 16 -define tiff:alpha=associated", true, ColorModel::RGB, SampleFormat::UInt16, true, 2},
    {"grey8", "-colorspace gray", false, ColorModel::Gray, SampleFormat::UInt8, false, 0},
    {"grey_alpha", "-colorspace gray", true, ColorModel::Gray, SampleFormat::UInt8, true, 0},
    {"bilevel", "-colorspace gray -threshold 50% -type bilevel", false, ColorModel::Gray, SampleFormat::UInt8, false, 0},
    // The colour map holds 16-bit entries; we give their nearest 8-bit values.
    {"palette", "-colors 16 -type palette", false, ColorModel::RGB, SampleFormat::UInt8, false, 128},
    {"float", "-depth 32 -define quantum:format=floating-point", false, ColorModel::RGB, SampleFormat::Float32, false, 1},
    {"tiled_planar", "-define tiff:tile-geometry=16x16 -interlace plane", false, ColorModel::RGB, SampleFormat::UInt8, false, 0},
    {"jpeg_ycbcr", "-compress jpeg -quality 90", false, ColorModel::RGB, SampleFormat::UInt8, false, 3 * 257},
};

class TiffVariant : public ::testing::TestWithParam<Variant> {};

TEST_P(TiffVariant, decodesAsImageMagickReadsIt) {
    const Variant& variant = GetParam();
    TempDir dir;
    const std::string path = dir.file("image.tiff");
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path(), variant.alphaSource), variant.options, path));
    const auto image = tiff().decode(readBytes(path), {});
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 48u);
    EXPECT_EQ(image->height, 32u);
    EXPECT_EQ(image->colorModel, variant.model);
    EXPECT_EQ(image->sampleFormat, variant.format);
    EXPECT_EQ(image->hasAlpha, variant.hasAlpha);
    EXPECT_LE(maxVisibleDifference(samples16(*image), magickSamples(path, "rgba")), variant.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Layouts, TiffVariant, ::testing::ValuesIn(kVariants),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(TiffCodec, keepsCmykSamplesAsStored) {
    TempDir dir;
    for (const char* depth : {"8", "16"}) {
        const std::string path = dir.file(std::string("cmyk") + depth + ".tiff");
        ASSERT_TRUE(magickConvert(makeSourcePng(dir.path()), std::string("-colorspace cmyk -depth ") + depth, path));
        const auto image = tiff().decode(readBytes(path), {});
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->colorModel, ColorModel::CMYK);
        EXPECT_FALSE(image->cmykInverted);
        EXPECT_EQ(maxDifference(samples16(*image, /*keepChannels=*/true), magickSamples(path, "cmyk")), 0) << depth;
    }
}

TEST(TiffCodec, headerGivesResolutionProfileAndModelWithoutPixels) {
    TempDir dir;
    const Bytes profile = makeIccProfile();  // dated: made once
    writeBytes(dir.file("srgb.icc"), profile);
    const std::string inches = dir.file("inches.tiff");
    const std::string centimetres = dir.file("centimetres.tiff");
    const std::string source = makeSourcePng(dir.path(), true);
    ASSERT_TRUE(magickConvert(source, "-profile " + quoted(dir.file("srgb.icc")) + " -density 300x150 -units PixelsPerInch", inches));
    ASSERT_TRUE(magickConvert(source, "-depth 16 -density 118.11 -units PixelsPerCentimeter", centimetres));

    const auto header = tiff().readHeader(readBytes(inches));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, 48u);
    EXPECT_EQ(header->height, 32u);
    EXPECT_EQ(header->bitsPerComponent, 8);
    EXPECT_TRUE(header->hasAlpha);
    EXPECT_TRUE(header->hasResolution);
    EXPECT_DOUBLE_EQ(header->dpiWidth, 300.0);
    EXPECT_DOUBLE_EQ(header->dpiHeight, 150.0);
    EXPECT_EQ(header->iccProfile, profile);
    EXPECT_EQ(tiff().decode(readBytes(inches), {})->iccProfile, profile);

    const auto metric = tiff().readHeader(readBytes(centimetres));
    ASSERT_TRUE(metric.has_value());
    EXPECT_EQ(metric->bitsPerComponent, 16);
    EXPECT_NEAR(metric->dpiWidth, 300.0, 0.01);
    EXPECT_TRUE(metric->iccProfile.empty());
}

TEST(TiffCodec, writesStraightAlphaThatImageMagickReadsBack) {
    TempDir dir;
    const TestBitmap bitmap = makeTranslucentBitmap(40, 24);
    const std::string path = dir.file("out.tiff");
    ASSERT_TRUE(encodeToFile(tiff(), bitmap, test::encodeOptions(std::nullopt, true, 72.0), path));

    EXPECT_TRUE(showsStraightColours(magickSamples(path, "rgba"), bitmap));
    std::string description;
    runCommand("identify -format '%C %x %y %U %[channels]' " + quoted(path), &description);
    EXPECT_EQ(description, "LZW 72 72 PixelsPerInch srgba");
    // Our own reading gives the same straight colours.
    const auto decoded = tiff().decode(readBytes(path), {});
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(maxDifference(samples16(*decoded), magickSamples(path, "rgba")), 0);
}

TEST(TiffCodec, withoutAlphaWritesRgbOverWhite) {
    TempDir dir;
    const TestBitmap bitmap = makeTranslucentBitmap(40, 24);
    const std::string path = dir.file("out.tiff");
    ASSERT_TRUE(encodeToFile(tiff(), bitmap, test::encodeOptions(std::nullopt, false, 72.0), path));
    EXPECT_TRUE(showsOverWhite(magickSamples(path, "rgba"), bitmap, 0));
    const auto header = tiff().readHeader(readBytes(path));
    ASSERT_TRUE(header.has_value());
    EXPECT_FALSE(header->hasAlpha);
    EXPECT_DOUBLE_EQ(header->dpiWidth, 72.0);
}

// A little-endian TIFF whose first directory claims width × height, 8-bit
// grey, one strip of 16 bytes that the file does hold.
Bytes claimedTiff(std::uint32_t width, std::uint32_t height) {
    Bytes b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put16 = [&](unsigned v) { b.push_back(std::uint8_t(v)); b.push_back(std::uint8_t(v >> 8)); };
    auto put32 = [&](std::uint32_t v) { put16(v & 0xffff); put16(v >> 16); };
    auto entry = [&](unsigned tag, unsigned type, std::uint32_t value) {
        put16(tag);
        put16(type);
        put32(1);
        put32(value);
    };
    put16(7);
    entry(256, 4, width);
    entry(257, 4, height);
    entry(258, 3, 8);
    entry(262, 3, 1);
    entry(273, 4, 8 + 2 + 7 * 12 + 4);  // strip offset: just after the directory
    entry(278, 4, height);
    entry(279, 4, 16);
    put32(0);
    b.resize(b.size() + 16, 0x80);
    return b;
}

TEST(TiffCodec, refusesHostileFilesWithOneLogLine) {
    TempDir dir;
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path()), "-compress lzw", dir.file("a.tiff")));
    const Bytes valid = readBytes(dir.file("a.tiff"));

    EXPECT_TRUE(refusedWithOneLine(tiff(), {}));
    EXPECT_TRUE(refusedWithOneLine(tiff(), truncated(valid, 8)));
    EXPECT_TRUE(refusedWithOneLine(tiff(), truncated(valid, valid.size() / 2)));
    EXPECT_TRUE(refusedWithOneLine(tiff(), {'I', 'I', 42, 0, 0xff, 0xff, 0xff, 0x7f}));

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

TEST(TiffCodec, sniffsBothByteOrdersAndBigTiff) {
    const Codec& codec = tiff();
    EXPECT_TRUE(codec.sniff(Bytes{'I', 'I', 42, 0}));
    EXPECT_TRUE(codec.sniff(Bytes{'M', 'M', 0, 42}));
    EXPECT_TRUE(codec.sniff(Bytes{'I', 'I', 43, 0}));
    EXPECT_FALSE(codec.sniff(Bytes{'I', 'I', 42, 1}));
    EXPECT_FALSE(codec.sniff(Bytes{'I', 'I', 42}));
    EXPECT_EQ(CodecRegistry::shared().codecForTypeIdentifier("public.tiff"), &codec);
}

} // namespace
} // namespace pellora::test
