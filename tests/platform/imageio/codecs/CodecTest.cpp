#include <gtest/gtest.h>

#include <map>

#include "support/ImageTestSupport.h"
#include "support/TestProfiles.h"
#include "support/TestSupport.h"

// What every decoder must do, as tables over the codecs: read files that
// ImageMagick wrote as ImageMagick reads them, report the header the pixels
// agree with, decode at a reduced scale, refuse truncated files and sniff
// only their own signatures.
namespace pellora::test {
namespace {

enum class Compare {
    Visible,   // RGBA, ignoring the colour of fully transparent pixels
    All,       // RGBA, every sample
    Channels,  // the image's own channels against ImageMagick's raw `map`
};

struct Variant {
    const char *name, *codec, *file;
    const char* options;  // ImageMagick options writing the file from the plasma picture
    bool alphaSource;
    ColorModel model;
    SampleFormat format;
    bool hasAlpha;
    int tolerance;  // in 16-bit units
    Compare compare = Compare::Visible;
    const char* map = "rgba";
    std::uint32_t width = 48, height = 32;
};

using enum ColorModel;
using enum SampleFormat;

const Variant kVariants[] = {
    {"gif", "GIF", "a.gif", "-colors 64", false, RGB, UInt8, false, 0},
    {"gif_interlaced", "GIF", "a.gif", "-colors 64 -interlace GIF", false, RGB, UInt8, false, 0},
    {"gif_transparent", "GIF", "a.gif", "-channel A -threshold 50% +channel -colors 32", true, RGB, UInt8, true, 0},
    {"webp_lossless", "WebP", "a.webp", "-define webp:lossless=true", false, RGB, UInt8, false, 0},
    {"webp_lossy", "WebP", "a.webp", "-quality 70", false, RGB, UInt8, false, 0},
    {"webp_alpha", "WebP", "a.webp", "-define webp:lossless=true", true, RGB, UInt8, true, 0},
    {"webp_lossy_alpha", "WebP", "a.webp", "-quality 70", true, RGB, UInt8, true, 0},
    // Both read through OpenJPEG: the same samples, up to 8-bit rounding.
    {"jp2", "JPEG 2000", "a.jp2", "-quality 100", false, RGB, UInt8, false, 128, Compare::All},
    {"jp2_lossy", "JPEG 2000", "a.jp2", "-quality 40", false, RGB, UInt8, false, 128, Compare::All},
    {"jp2_alpha", "JPEG 2000", "a.jp2", "-quality 100", true, RGB, UInt8, true, 128, Compare::All},
    {"jp2_grey", "JPEG 2000", "a.jp2", "-colorspace gray", false, Gray, UInt8, false, 128, Compare::All},
    {"jp2_deep", "JPEG 2000", "a.jp2", "-depth 16", false, RGB, UInt16, false, 0, Compare::All},
    {"j2k_codestream", "JPEG 2000", "a.j2k", "", false, RGB, UInt8, false, 128, Compare::All},
    // Both decode the HEVC data with libde265; ImageMagick then turns the
    // YCbCr planes into RGB itself, with its own rounding and upsampling.
    {"heif", "HEIF", "a.heic", "-quality 90", false, RGB, UInt8, false, 8 * 257},
    {"tiff_rgb8_lzw", "TIFF", "a.tiff", "-compress lzw", false, RGB, UInt8, false, 0},
    // 16-bit samples are narrowed to 8 bits as they are read: up to 8-bit rounding.
    {"tiff_rgb16_zip", "TIFF", "a.tiff", "-depth 16 -compress zip", false, RGB, UInt8, false, 128},
    {"tiff_rgba_unassociated", "TIFF", "a.tiff", "-compress lzw", true, RGB, UInt8, true, 0},
    // Premultiplied on disk: both readers divide by alpha, with their own
    // rounding; then the 16-bit samples are narrowed to 8 bits.
    {"tiff_rgba16_associated", "TIFF", "a.tiff", "-depth 16 -define tiff:alpha=associated", true, RGB, UInt8, true, 130},
    {"tiff_grey8", "TIFF", "a.tiff", "-colorspace gray", false, Gray, UInt8, false, 0},
    {"tiff_grey_alpha", "TIFF", "a.tiff", "-colorspace gray", true, Gray, UInt8, true, 0},
    {"tiff_bilevel", "TIFF", "a.tiff", "-colorspace gray -threshold 50% -type bilevel", false, Gray, UInt8, false, 0},
    // The colour map holds 16-bit entries; we give their nearest 8-bit values.
    {"tiff_palette", "TIFF", "a.tiff", "-colors 16 -type palette", false, RGB, UInt8, false, 128},
    {"tiff_float", "TIFF", "a.tiff", "-depth 32 -define quantum:format=floating-point", false, RGB, Float32, false, 1},
    {"tiff_tiled_planar", "TIFF", "a.tiff", "-define tiff:tile-geometry=16x16 -interlace plane", false, RGB, UInt8, false, 0},
    {"tiff_jpeg_ycbcr", "TIFF", "a.tiff", "-compress jpeg -quality 90", false, RGB, UInt8, false, 3 * 257},
    // CMYK samples are kept as stored.
    {"tiff_cmyk8", "TIFF", "a.tiff", "-colorspace cmyk -depth 8", false, CMYK, UInt8, false, 0, Compare::Channels, "cmyk"},
    {"tiff_cmyk16", "TIFF", "a.tiff", "-colorspace cmyk -depth 16", false, CMYK, UInt8, false, 128, Compare::Channels, "cmyk"},
    // Odd sizes leave partial blocks; Adobe CMYK files store inverted ink.
    {"jpeg_420", "JPEG", "a.jpg", "-resize 97x61! -quality 85 -sampling-factor 2x2", false, RGB, UInt8, false, 0,
     Compare::Visible, "rgba", 97, 61},
    {"jpeg_444_progressive", "JPEG", "a.jpg", "-resize 97x61! -quality 95 -sampling-factor 1x1 -interlace JPEG", false,
     RGB, UInt8, false, 0, Compare::Visible, "rgba", 97, 61},
    {"jpeg_grey", "JPEG", "a.jpg", "-resize 97x61! -colorspace Gray", false, Gray, UInt8, false, 0, Compare::Channels,
     "gray", 97, 61},
    {"jpeg_cmyk", "JPEG", "a.jpg", "-resize 97x61! -colorspace CMYK", false, CMYK, UInt8, false, 0, Compare::Channels,
     "cmyk", 97, 61},
};

class CodecVariant : public ::testing::TestWithParam<Variant> {};

TEST_P(CodecVariant, decodesAsImageMagickReadsItWithTheHeaderAgreeing) {
    const Variant& v = GetParam();
    const Codec& codec = registeredCodec(v.codec);
    TempDir dir;
    const std::string path = dir.file(v.file);
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path(), v.alphaSource), v.options, path));
    const std::string bytes = readFile(path);
    EXPECT_TRUE(codec.sniff(bytesOf(bytes)));
    const auto image = codec.decode(bytesOf(bytes), {});
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(std::tuple(image->width, image->height, image->colorModel, image->sampleFormat, image->hasAlpha),
              std::tuple(v.width, v.height, v.model, v.format, v.hasAlpha));
    const auto reference = magickSamples(path, v.map);
    if (v.compare == Compare::Channels) {
        auto samples = samples16(*image, /*keepChannels=*/true);
        // ImageMagick reports ink.
        for (auto& sample : samples) sample = image->cmykInverted ? std::uint16_t(65535 - sample) : sample;
        EXPECT_LE(maxDifference(samples, reference), v.tolerance);
    } else if (v.compare == Compare::All) {
        EXPECT_LE(maxDifference(samples16(*image), reference), v.tolerance);
    } else {
        EXPECT_LE(maxVisibleDifference(samples16(*image), reference), v.tolerance);
    }

    const auto header = codec.readHeader(bytesOf(bytes));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(std::tuple(header->width, header->height, header->colorModel, header->hasAlpha),
              std::tuple(image->width, image->height, image->colorModel, image->hasAlpha));
}

INSTANTIATE_TEST_SUITE_P(Files, CodecVariant, ::testing::ValuesIn(kVariants),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(Codecs, headersCarryTheResolutionAndTheIccProfile) {
    struct Case {
        const char *codec, *file, *options;
        bool tagged;  // with the sRGB profile
        bool hasResolution;
        double dpiWidth, dpiHeight;
        int bits = 8;
        double tolerance = 1e-9;
    };
    const Case cases[] = {
        {"TIFF", "inches.tiff", "-density 300x150 -units PixelsPerInch", true, true, 300, 150},
        {"TIFF", "cm.tiff", "-depth 16 -density 118.11 -units PixelsPerCentimeter", false, true, 300, 300, 16, 0.01},
        {"JPEG", "inches.jpg", "-units PixelsPerInch -density 300", true, true, 300, 300},
        {"JPEG", "cm.jpg", "-units PixelsPerCentimeter -density 100", false, true, 254, 254},
        {"JPEG", "plain.jpg", "-strip", false, false, 72, 72},
        {"WebP", "tagged.webp", "", true, false, 72, 72},
        {"PNG", "tagged.png", "", true, false, 72, 72},
    };
    TempDir dir;
    const Bytes profile = srgbIccProfile();  // dated: made once
    writeFile(dir.file("srgb.icc"), std::string(profile.begin(), profile.end()));
    const std::string source = makeSourcePng(dir.path(), true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = dir.file(c.file);
        const std::string tag = c.tagged ? " -profile " + quoted(dir.file("srgb.icc")) : "";
        ASSERT_TRUE(magickConvert(source, c.options + tag, path));
        const Codec& codec = registeredCodec(c.codec);
        const std::string bytes = readFile(path);
        const auto header = codec.readHeader(bytesOf(bytes));
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(header->bitsPerComponent, c.bits);
        EXPECT_EQ(header->hasResolution, c.hasResolution);
        EXPECT_NEAR(header->dpiWidth, c.dpiWidth, c.tolerance);
        EXPECT_NEAR(header->dpiHeight, c.dpiHeight, c.tolerance);
        EXPECT_EQ(header->iccProfile, c.tagged ? profile : Bytes{});
        EXPECT_EQ(codec.decode(bytesOf(bytes), {})->iccProfile, header->iccProfile);
    }
}

TEST(Codecs, reducedDecodingNeverGoesBelowTheRequestedSize) {
    struct Case {
        const char* file;
        std::uint32_t minWidth, minHeight, width, height;
    };
    const Case cases[] = {
        {"big.jpg", 0, 0, 1001, 751},     {"big.jpg", 100, 90, 126, 94},     {"big.jpg", 126, 94, 126, 94},
        {"big.jpg", 127, 0, 251, 188},    {"big.jpg", 0, 188, 251, 188},     {"big.jpg", 251, 189, 376, 282},
        {"big.jpg", 377, 0, 501, 376},    {"big.jpg", 600, 0, 626, 470},     {"big.jpg", 876, 0, 876, 658},     {"big.jpg", 877, 0, 1001, 751},
        {"big.jpg", 2000, 2000, 1001, 751}, {"big.webp", 0, 0, 200, 120},
        {"big.webp", 50, 30, 50, 30},     {"big.webp", 60, 20, 60, 36},      {"big.webp", 20, 60, 100, 60},
        {"big.webp", 300, 10, 200, 120},  {"big.jp2", 0, 0, 200, 120},       {"big.jp2", 200, 1, 200, 120},
        {"big.jp2", 100, 60, 100, 60},    {"big.jp2", 101, 1, 200, 120},     {"big.jp2", 50, 30, 50, 30},
        {"big.jp2", 51, 30, 100, 60},     {"big.jp2", 1, 1, 7, 4},           {"big.jp2", 7, 0, 7, 4},
    };
    const std::map<std::string, std::pair<const char*, const char*>> files{
        {"big.jpg", {"JPEG", "-size 1001x751"}}, {"big.webp", {"WebP", "-size 200x120"}},
        {"big.jp2", {"JPEG 2000", "-size 200x120"}}};
    TempDir dir;
    for (const auto& [file, made] : files) {
        ASSERT_TRUE(magick(std::string(made.second) + " gradient:white-black -quality 90 " + quoted(dir.file(file))));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.file << " at least " << c.minWidth << " x " << c.minHeight);
        DecodeOptions options;
        options.minWidth = c.minWidth;
        options.minHeight = c.minHeight;
        const std::string bytes = readFile(dir.file(c.file));
        const auto image = registeredCodec(files.at(c.file).first).decode(bytesOf(bytes), options);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(std::pair(image->width, image->height), std::pair(c.width, c.height));
        // A vertical gradient keeps its ends at each of JPEG's scales (at most 1/8).
        if (std::string(c.file) == "big.jpg") {
            EXPECT_GE(image->pixels.front(), 250);
            EXPECT_LE(image->pixels.back(), 5);
        }
    }
}

TEST(Codecs, emptyAndTruncatedFilesAreRefusedWithOneLogLine) {
    struct Case {
        const char *codec, *file, *options;
        std::size_t head;     // bytes kept of the start, when non-zero
        std::size_t tailCut;  // bytes cut from the end, when non-zero
    };
    // The PNG has no text chunks after the pixels.
    const Case cases[] = {
        {"GIF", "a.gif", "-colors 64", 10, 0},       {"WebP", "a.webp", "-quality 80", 20, 0},
        {"JPEG 2000", "a.jp2", "", 20, 0},           {"JPEG 2000", "a.j2k", "", 0, 2},
        {"HEIF", "a.heic", "-quality 80", 24, 40},   {"TIFF", "a.tiff", "-compress lzw", 8, 0},
        {"PNG", "a.png", "-strip", 20, 40},          {"BMP", "a.bmp", "", 20, 40},
        {"JPEG", "a.jpg", "-quality 90", 20, 40},    {"JPEG", "progressive.jpg", "-quality 90 -interlace JPEG", 20, 40},
    };
    TempDir dir;
    const std::string source = makeSourcePng(dir.path(), true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Codec& codec = registeredCodec(c.codec);
        ASSERT_TRUE(magickConvert(source, c.options, dir.file(c.file)));
        const std::string whole = readFile(dir.file(c.file));
        EXPECT_TRUE(refusedWithOneLine(codec, {}));
        // Half a file decodes partly in most libraries, which then pad the rest with grey.
        EXPECT_TRUE(refusedWithOneLine(codec, bytesOf(whole.substr(0, whole.size() / 2))));
        if (c.head != 0) {
            EXPECT_TRUE(refusedWithOneLine(codec, bytesOf(whole.substr(0, c.head))));
        }
        if (c.tailCut != 0) {
            EXPECT_TRUE(refusedWithOneLine(codec, bytesOf(whole.substr(0, whole.size() - c.tailCut))));
        }
    }
}

TEST(Codecs, eachSniffsItsOwnSignaturesOnly) {
    using namespace std::string_view_literals;
    // A JP2 box or a bare codestream; "isom" is an MP4 video; "II+" is BigTIFF.
    const std::vector<std::tuple<const char*, std::string_view, bool>> cases{
        {"GIF", "GIF87a", true}, {"GIF", "GIF89a", true}, {"GIF", "GIF88a", false}, {"GIF", "GIF", false},
        {"JPEG 2000", "\0\0\0\x0cjP  \r\n\x87\n"sv, true}, {"JPEG 2000", "\xff\x4f\xff\x51", true},
        {"JPEG 2000", "\0\0\0\x0cjP  \r\n\x87"sv, false}, {"JPEG 2000", "\xff\xd8\xff\xe0", false},
        {"HEIF", "\0\0\0\x18" "ftypheic"sv, true}, {"HEIF", "\0\0\0\x18" "ftypmif1"sv, true},
        {"HEIF", "\0\0\0\x18" "ftypisom"sv, false}, {"HEIF", "\0\0\0\x18" "ftyphei"sv, false},
        {"TIFF", "II*\0"sv, true}, {"TIFF", "MM\0*"sv, true}, {"TIFF", "II+\0"sv, true},
        {"TIFF", "II*\1"sv, false}, {"TIFF", "II*", false},
    };
    for (const auto& [codec, head, expected] : cases) {
        EXPECT_EQ(registeredCodec(codec).sniff(bytesOf(head)), expected) << codec << " " << head.size() << " bytes";
    }
}

} // namespace
} // namespace pellora::test
