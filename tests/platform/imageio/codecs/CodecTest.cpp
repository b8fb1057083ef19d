#include <array>
#include <functional>
#include <gtest/gtest.h>

#include <map>

#include "platform/imageio/ImageSource.h"
#include "platform/imageio/TiffBytes.h"
#include "support/ImageTestSupport.h"
#include "support/TestProfiles.h"
#include "support/TestSupport.h"

// What every decoder must do, as tables over the codecs: read files that
// ImageMagick wrote as ImageMagick reads them, report the header the pixels
// agree with, decode at a reduced scale, refuse truncated files and headers
// that lie, and sniff only their own signatures.
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
        {"HEIF", "plain.heic", "-quality 80", false, false, 72, 72},
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

// Fields written at an offset as big- or little-endian integers of `size` bytes.
std::string patched(std::string bytes, std::size_t at, std::size_t size, std::uint32_t value, bool bigEndian = true) {
    char field[4];
    for (std::size_t i = 0; i < size && i < 4; ++i) field[i] = char(value >> (8 * (bigEndian ? size - 1 - i : i)));
    return bytes.replace(at, size, field, size);
}

// The HEIF with every `ispe` (image spatial extent) property set to width x height.
std::string heifWithExtent(std::string bytes, std::uint32_t width, std::uint32_t height) {
    for (std::size_t at = bytes.find("ispe"); at != std::string::npos; at = bytes.find("ispe", at + 4)) {
        bytes = patched(patched(bytes, at + 8, 4, width), at + 12, 4, height);
    }
    return bytes;
}

// The codestream with the SIZ marker's image size and tile size set.
std::string j2kWithSiz(std::string bytes, std::uint32_t width, std::uint32_t height, std::uint32_t tileWidth,
                       std::uint32_t tileHeight) {
    const std::size_t xsiz = bytes.find("\xff\x51") + 6;
    bytes = patched(patched(bytes, xsiz, 4, width), xsiz + 4, 4, height);
    return patched(patched(bytes, xsiz + 16, 4, tileWidth), xsiz + 20, 4, tileHeight);
}

// A little-endian TIFF whose first directory claims width x height, 8-bit
// grey, one strip of 16 bytes that the file does hold.
std::string claimedTiff(std::uint32_t width, std::uint32_t height) {
    TiffBytes tiff;
    tiff.u16(7);
    // Size, depth, photometric, strip offset (just after the directory), rows per strip, strip bytes.
    for (const auto& [tag, type, value] : {std::array<std::uint32_t, 3>{256, 4, width}, {257, 4, height}, {258, 3, 8},
                                           {262, 3, 1}, {273, 4, 8 + 2 + 7 * 12 + 4}, {278, 4, height}, {279, 4, 16}}) {
        tiff.entry(std::uint16_t(tag), std::uint16_t(type), 1, value);
    }
    tiff.u32(0);
    return tiff.text() + std::string(16, '\x80');
}

// A well-formed PNG whose header claims width x height RGB pixels.
std::string pngClaiming(std::uint32_t width, std::uint32_t height) {
    const std::string header = patched(patched(std::string(8, '\0'), 0, 4, width), 4, 4, height) + std::string("\x08\x02\0\0\0", 5);
    return "\x89PNG\r\n\x1a\n" + pngChunk("IHDR", header) + pngChunk("IDAT", std::string("\x78\x9c\x03\0\0\0\0\x01", 8)) +
           pngChunk("IEND", "");
}

// The frame header patched to claim 65500 x 65500 (the most libjpeg takes).
std::string jpegClaimingTheLargestSize(std::string jpeg) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == '\xff' && (jpeg[i + 1] == '\xc0' || jpeg[i + 1] == '\xc2')) return jpeg.replace(i + 5, 4, "\xff\xdc\xff\xdc");
    }
    return {};
}

// Headers that claim more than the limits, or than the file holds: the header
// reads (reporting the claim), and every decode refuses before it allocates the
// pixels, with one line; through an image source, a line saying the limits.
TEST(Codecs, headersThatLieAreRefusedBeforeAnyPixelIsAllocated) {
    TempDir dir;
    std::map<std::string, std::string> valid;
    for (const auto& [file, options, alpha] : {std::tuple{"a.gif", "-colors 64", false}, {"a.heic", "-quality 80", false},
                                               {"a.webp", "-quality 80", true}, {"a.j2k", "", false},
                                               {"a.jpg", "-resize 16x16", false}}) {
        ASSERT_TRUE(magickConvert(makeSourcePng(dir.path(), alpha), options, dir.file(file)));
        valid[file] = readFile(dir.file(file));
    }
    ASSERT_EQ(valid["a.webp"].substr(12, 4), "VP8X");
    // Canvas sizes (minus one) are 24-bit little-endian fields of the VP8X chunk.
    const auto webpCanvas = [&](std::uint32_t width, std::uint32_t height) {
        return patched(patched(valid["a.webp"], 24, 3, width - 1, false), 27, 3, height - 1, false);
    };
    const auto limited = [](std::uint64_t maxPixels, std::uint32_t maxSide) {
        return DecodeOptions{.minWidth = 0, .minHeight = 0, .limits = {.maxPixels = maxPixels, .maxSide = maxSide}};
    };
    const DecodeOptions maxSide40 = limited(300'000'000, 40), maxPixels1000 = limited(1000, 65'535),
                        maxSide299 = limited(300'000'000, 299), maxPixels59999 = limited(59'999, 65'535);
    struct Bomb {
        const char *name, *codec;
        std::string bytes;
        std::uint32_t claimedWidth;  // as the header reports it; 0 when not a size over the limits
        DecodeOptions options = {};
    };
    const std::string bmpPalette("\0\0\0\0\xff\xff\xff\0", 8);
    const Bomb bombs[] = {
        {"GIF screen", "GIF", patched(valid["a.gif"], 6, 4, 0xffffffff), 65535},
        {"GIF with nothing on its screen", "GIF", std::string("GIF89a\1\0\1\0\0\0\0;", 14), 0},
        {"HEIF extent", "HEIF", heifWithExtent(valid["a.heic"], 100000, 100000), 0},  // refused by its header too
        {"HEIF of 400 megapixels", "HEIF", heifWithExtent(valid["a.heic"], 20000, 20000), 20000},
        {"HEIF over the caller's side", "HEIF", valid["a.heic"], 0, maxSide40},
        {"WebP canvas", "WebP", webpCanvas(100000, 100000), 0},
        {"WebP canvas too wide", "WebP", webpCanvas(70000, 10), 0},
        {"WebP over the caller's pixels", "WebP", valid["a.webp"], 0, maxPixels1000},
        {"JPEG 2000 size", "JPEG 2000", j2kWithSiz(valid["a.j2k"], 100000, 100000, 100000, 100000), 100000},
        {"JPEG 2000 of 60 million tiles", "JPEG 2000", j2kWithSiz(valid["a.j2k"], 60000, 1000, 1, 1), 0},
        {"TIFF directory past the end", "TIFF", std::string("II*\0\xff\xff\xff\x7f", 8), 0},
        {"TIFF size", "TIFF", claimedTiff(100000, 100000), 100000},
        {"TIFF strip shorter than its rows", "TIFF", claimedTiff(4, 400), 0},
        {"PNG size", "PNG", pngClaiming(100000, 100000), 100000},
        {"PNG over the caller's side", "PNG", pngClaiming(300, 200), 0, maxSide299},
        {"PNG over the caller's pixels", "PNG", pngClaiming(300, 200), 0, maxPixels59999},
        {"BMP size", "BMP", bmpFile(100000, 100000, 8, 1, bmpPalette, "\x04\x01\x00\x01"), 100000},
        {"JPEG size", "JPEG", jpegClaimingTheLargestSize(valid["a.jpg"]), 65500},
    };
    for (const Bomb& bomb : bombs) {
        SCOPED_TRACE(bomb.name);
        const Codec& codec = registeredCodec(bomb.codec);
        if (bomb.claimedWidth != 0) {
            const auto header = codec.readHeader(bytesOf(bomb.bytes));
            ASSERT_TRUE(header.has_value());
            EXPECT_EQ(header->width, bomb.claimedWidth);
        }
        EXPECT_TRUE(refusedWithOneLine(codec, bytesOf(bomb.bytes), bomb.options));
        const auto source = ImageSource::createWithData(bytesOf(bomb.bytes));
        const DecodeLimits& limits = bomb.options.limits;
        if (bomb.claimedWidth != 0 || limits.maxSide != DecodeLimits{}.maxSide || limits.maxPixels != DecodeLimits{}.maxPixels) {
            ASSERT_NE(source, nullptr);
            LogCapture log;
            EXPECT_EQ(source->decodeFirstImage(bomb.options), nullptr);
            ASSERT_EQ(log.lines().size(), 1u);
            EXPECT_NE(log.lines()[0].find("exceeds the limits"), std::string::npos) << log.lines()[0];
        }
    }
    // The same TIFF with the 16 bytes its 4 x 4 pixels need decodes.
    EXPECT_NE(registeredCodec("TIFF").decode(bytesOf(claimedTiff(4, 4)), {}), nullptr);
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
