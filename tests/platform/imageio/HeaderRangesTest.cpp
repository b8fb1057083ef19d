#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <vector>

#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"
#include "support/ImageTestSupport.h"
#include "support/TestPictures.h"
#include "support/TestProfiles.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// A format whose header is read through byte ranges: the file is written by
// ImageMagick (`convert source.png <magickOptions> -profile srgb.icc file`)
// from a noise picture, which compresses poorly so that the pixels far
// outweigh the header, then tagged by exiftool with an EXIF orientation of 6,
// an artist and an XMP title.
struct RangedFormat {
    const char* name;
    const char* fileName;
    const char* magickOptions;
    // The orientation the properties give: 6 as tagged, or 1 from a codec
    // that hands over pixels already upright.
    std::int64_t orientation;
    // Whether the properties name the embedded profile.
    bool namesProfile;
};

const RangedFormat kRangedFormats[] = {
    {"JPEG", "noise.jpg", "-quality 90", 6, true},
    {"PNG", "noise.png", "", 6, true},
    {"WebP", "noise.webp", "-quality 80", 6, true},
    {"TIFF", "noise.tiff", "-compress lzw", 6, true},
    // ImageMagick writes no profile into a JPEG 2000 file. HEIF has its own
    // table (BoxHeaderRanges): Exiv2 finds no EXIF where exiftool puts it.
    {"JPEG2000", "noise.jp2", "", 6, false},
};

void PrintTo(const RangedFormat& format, std::ostream* out) { *out << format.name; }

const test::PixelFunction noise = [](std::uint32_t x, std::uint32_t y) {
    const std::uint32_t n = (x * 2654435761u) ^ (y * 40503u);
    return test::Rgba{std::uint8_t(n >> 3), std::uint8_t(n >> 11), std::uint8_t(n >> 19), 255};
};

// Writes the format's file at dir/fileName with an sRGB profile, EXIF
// (turned a quarter) and XMP; its path, empty on failure.
std::string writeTagged(const test::TempDir& dir, const RangedFormat& format) {
    const std::string source = dir.file("noise-source.png");
    const std::string profile = dir.file("srgb.icc");
    if (!test::fileExists(source)) {
        if (!test::writePicture(source, kImageTypePNG, 900, 600, noise)) return {};
        const auto icc = test::srgbIccProfile();
        test::writeFile(profile, std::string(icc.begin(), icc.end()));
    }
    const std::string path = dir.file(format.fileName);
    const std::string options = std::string(format.magickOptions) + " -profile " + test::quoted(profile);
    if (!test::magickConvert(source, options, path)) return {};
    if (!test::exifToolWrite(path, "-Orientation#=6 -Artist=Ranges -XMP:Title=Header")) return {};
    return path;
}

// The header source of path against the whole file's: the same header,
// memory estimate, properties and preview.
void expectSameAsWholeFile(const ImageSource& header, const std::string& path) {
    const auto whole = ImageSource::createWithPath(path);
    ASSERT_TRUE(whole && whole->header() && header.header());
    EXPECT_EQ(header.header()->width, whole->header()->width);
    EXPECT_EQ(header.header()->height, whole->header()->height);
    EXPECT_EQ(header.header()->iccProfile, whole->header()->iccProfile);
    EXPECT_EQ(header.decodeMemory({}), whole->decodeMemory({}));
    EXPECT_EQ(header.copyPropertiesAtIndex(0), whole->copyPropertiesAtIndex(0));
    const auto preview = header.exifPreview();
    const auto wholePreview = whole->exifPreview();
    EXPECT_TRUE(std::equal(preview.begin(), preview.end(), wholePreview.begin(), wholePreview.end()));
}

class HeaderRanges : public testing::TestWithParam<RangedFormat> {};

TEST_P(HeaderRanges, readLessThanTheFileAndGiveTheWholeFilesProperties) {
    test::TempDir dir;
    const std::string path = writeTagged(dir, GetParam());
    ASSERT_FALSE(path.empty());
    const auto header = ImageSource::createForHeaderWithPath(path);
    ASSERT_TRUE(header);
    EXPECT_FALSE(header->holdsWholeFile());
    const std::uint64_t size = test::readFile(path).size();
    EXPECT_LT(header->bytesRead(), size);
    expectSameAsWholeFile(*header, path);

    // The metadata is there, not merely equally missing from both.
    const PlistValue properties = header->copyPropertiesAtIndex(0);
    const PlistValue* orientation = properties.dictionaryValue().find(kImagePropertyOrientation);
    ASSERT_TRUE(orientation);
    EXPECT_EQ(*orientation, PlistValue(GetParam().orientation));
    EXPECT_EQ(properties.dictionaryValue().contains(kImagePropertyProfileName), GetParam().namesProfile);
}

INSTANTIATE_TEST_SUITE_P(Formats, HeaderRanges, testing::ValuesIn(kRangedFormats),
                         [](const testing::TestParamInfo<RangedFormat>& row) { return std::string(row.param.name); });

const RangedFormat& rangedFormat(std::string_view name) {
    return *std::find_if(std::begin(kRangedFormats), std::end(kRangedFormats),
                         [&](const RangedFormat& format) { return format.name == name; });
}

// A PNG's chunks, each whole (length, type, data, CRC), after the signature.
struct PngChunk {
    std::string type;
    std::string bytes;
};

std::uint32_t bigEndian32(const std::string& bytes, std::size_t at) {
    return (std::uint32_t(std::uint8_t(bytes[at])) << 24) | (std::uint32_t(std::uint8_t(bytes[at + 1])) << 16) |
           (std::uint32_t(std::uint8_t(bytes[at + 2])) << 8) | std::uint8_t(bytes[at + 3]);
}

std::vector<PngChunk> pngChunks(const std::string& png) {
    std::vector<PngChunk> chunks;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = bigEndian32(png, at) + 12;
        chunks.push_back({png.substr(at + 4, 4), png.substr(at, length)});
        at += length;
    }
    return chunks;
}

std::string pngOf(const std::vector<PngChunk>& chunks) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    for (const PngChunk& chunk : chunks) png += chunk.bytes;
    return png;
}

bool isMetadataChunk(const PngChunk& chunk) {
    return chunk.type == "eXIf" || chunk.type == "tEXt" || chunk.type == "zTXt" || chunk.type == "iTXt";
}

TEST(HeaderRangesPng, metadataAfterTheImageDataIsRead) {
    test::TempDir dir;
    const std::string tagged = writeTagged(dir, rangedFormat("PNG"));
    ASSERT_FALSE(tagged.empty());
    std::vector<PngChunk> chunks = pngChunks(test::readFile(tagged));
    // The metadata chunks move to just before IEND.
    std::vector<PngChunk> metadata;
    std::copy_if(chunks.begin(), chunks.end(), std::back_inserter(metadata), isMetadataChunk);
    ASSERT_TRUE(std::any_of(metadata.begin(), metadata.end(), [](const PngChunk& c) { return c.type == "eXIf"; }));
    std::erase_if(chunks, isMetadataChunk);
    ASSERT_EQ(chunks.back().type, "IEND");
    chunks.insert(chunks.end() - 1, metadata.begin(), metadata.end());
    const std::string path = dir.file("late.png");
    test::writeFile(path, pngOf(chunks));

    const auto header = ImageSource::createForHeaderWithPath(path);
    ASSERT_TRUE(header);
    EXPECT_FALSE(header->holdsWholeFile());
    expectSameAsWholeFile(*header, path);
    const PlistValue properties = header->copyPropertiesAtIndex(0);
    EXPECT_TRUE(properties.dictionaryValue().contains(kImagePropertyOrientation));
}

// Damaged and hostile layouts: the header read gives way to the whole file,
// having read no more than its allowance (a quarter of the file here) first.
TEST(HeaderRangesHostile, layoutsThatAreNotUnderstoodAreReadWholeAfterABoundedAttempt) {
    test::TempDir dir;
    const std::string png = test::readFile(writeTagged(dir, rangedFormat("PNG")));
    const std::string webp = test::readFile(writeTagged(dir, rangedFormat("WebP")));
    ASSERT_FALSE(png.empty() || webp.empty());
    const std::size_t idat = png.find("IDAT") - 4;
    const std::size_t iend = png.rfind("IEND") - 4;
    const std::size_t vp8 = webp.find("VP8 ");
    ASSERT_NE(vp8, std::string::npos);
    const auto withBytes = [](std::string bytes, std::size_t at, std::string_view replacement) {
        return bytes.replace(at, replacement.size(), replacement);
    };
    std::string manyChunks = png.substr(0, iend);
    for (int i = 0; i < 100000; ++i) manyChunks += std::string("\0\0\0\0prVt\0\0\0\0", 12);
    manyChunks += png.substr(iend);

    const std::vector<std::pair<std::string, std::string>> cases{
        {"png: image data longer than the file", withBytes(png, idat, "\x7f\xff\xff\xf0")},
        {"png: a length beyond the format's", withBytes(png, idat, "\xff\xff\xff\xf0")},
        {"png: cut inside a chunk header", png.substr(0, iend + 3)},
        {"png: no IEND", png.substr(0, iend)},
        {"png: a hundred thousand empty chunks", manyChunks},
        {"webp: a chunk longer than the RIFF", withBytes(webp, vp8 + 4, "\xf0\xff\xff\x7f")},
        {"webp: a RIFF longer than the file", withBytes(webp, 4, "\xf0\xff\xff\xff")},
        {"webp: an animation", withBytes(webp, vp8, "ANMF")},
    };
    for (const auto& [name, contents] : cases) {
        SCOPED_TRACE(name);
        const std::string path = dir.file("hostile");
        test::writeFile(path, contents);
        test::LogCapture quiet;
        const auto header = ImageSource::createForHeaderWithPath(path);
        ASSERT_TRUE(header);
        EXPECT_TRUE(header->holdsWholeFile());
        EXPECT_LE(header->bytesRead(), contents.size() + std::max<std::size_t>(contents.size() / 4, 128 << 10));
    }
}

} // namespace
} // namespace pellora
