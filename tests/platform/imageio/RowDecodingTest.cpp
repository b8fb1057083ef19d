#include <gtest/gtest.h>

#include <cstring>

#include "platform/graphics/ColorConversion.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/PixelMemoryBudget.h"
#include "platform/imageio/RowDecoder.h"
#include "support/ImageTestSupport.h"
#include "support/TestProfiles.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using Rows = std::vector<std::vector<std::uint8_t>>;

// ImageMagick options for each kind of file that its library decodes by a different route.
struct Variant {
    const char* name;
    const char* file;
    const char* options;
    bool opaqueRgba;  // decoded straight into RGBA, without conversion
};
const Variant kVariants[] = {
    {"baseline 4:2:0", "v.jpg", "-quality 80 -sampling-factor 2x2", true},
    {"baseline 4:4:4", "v.jpg", "-quality 95 -sampling-factor 1x1", true},
    {"progressive", "v.jpg", "-quality 80 -interlace Plane", true},
    {"grey", "v.jpg", "-colorspace Gray -quality 80", false},
    {"CMYK", "v.jpg", "-colorspace CMYK -quality 80", false},
    {"with a profile", "v.jpg", "-quality 80 -profile", false},  // followed by the profile's path
    {"PNG RGB", "v.png", "-depth 8", false},
    {"PNG RGBA 16-bit", "v.png", "-alpha set -channel A -fx 'i/w' +channel -depth 16", false},
    {"PNG palette with transparency", "v.png", "-alpha set -channel A -fx 'i>w/2' +channel -colors 16 "
                                               "-define png:format=png8", false},
    {"PNG grey 2-bit", "v.png", "-colorspace Gray -depth 2 -define png:bit-depth=2", false},
};
constexpr const Variant& kBaseline = kVariants[0];
constexpr const Variant& kProgressive = kVariants[2];
constexpr const Variant& kPng = kVariants[6];

bool isJpeg(const Variant& variant) { return std::string_view(variant.file).ends_with(".jpg"); }

// A 301 x 203 picture (odd sides, detail everywhere) as a file of the variant.
std::string writeVariant(const test::TempDir& dir, const Variant& variant) {
    const auto profile = test::wideGamutProfile();
    test::writeFile(dir.file("wide.icc"), std::string(profile.begin(), profile.end()));
    const std::string path = dir.file(variant.file);
    std::string options = std::string("-resize 301x203! ") + variant.options;
    if (options.ends_with("-profile")) options.append(" ").append(test::quoted(dir.file("wide.icc")));
    EXPECT_TRUE(test::magickConvert(test::makeSourcePng(dir.path()), options, path));
    return path;
}

Rows wholeRows(const DecodedImage& image) {
    SrgbRowConverter converter(image);
    Rows rows(image.height, std::vector<std::uint8_t>(std::size_t{image.width} * 4));
    for (std::uint32_t y = 0; y < image.height; ++y) converter.convertRow(y, rows[y].data());
    return rows;
}

// Rows first..height-1 of the decoder as sRGB RGBA; stops at the first failure.
Rows decodedRows(RowDecoder& decoder, std::uint32_t first = 0) {
    const DecodedImage& layout = decoder.layout();
    SrgbRowConverter converter(layout);
    std::vector<std::uint8_t> samples(layout.rowBytes);
    Rows rows;
    for (std::uint32_t y = first; y < layout.height; ++y) {
        std::vector<std::uint8_t> rgba(std::size_t{layout.width} * 4);
        if (!decoder.readRow(y, samples.data())) break;
        if (decoder.deliversOpaqueRgba()) {
            std::memcpy(rgba.data(), samples.data(), rgba.size());
        } else {
            converter.convertSamples(samples.data(), rgba.data());
        }
        rows.push_back(std::move(rgba));
    }
    return rows;
}

// For every kind of file and scale: the rows are the whole decode's rows; a
// decoder started part way decodes and drops the rows before it and refuses to
// go back; each decoder holds its share of the budget while it lives (a
// progressive file's coefficients whatever the scale).
TEST(RowDecoding, rowsAreTheWholeDecodesRowsForEveryKindOfFileAndScale) {
    DecodeOptions reduced;
    reduced.minWidth = 120;  // 3/8 of 301 is 113: the decode is at 4/8
    reduced.minHeight = 60;
    for (const Variant& variant : kVariants) {
        for (const DecodeOptions& options : {DecodeOptions{}, reduced}) {
            SCOPED_TRACE(std::string(variant.name) + (options.minWidth ? ", reduced" : ", full size"));
            test::TempDir dir;
            const auto source = ImageSource::createWithPath(writeVariant(dir, variant));
            ASSERT_TRUE(source);
            EXPECT_TRUE(source->decodesRows());
            const DecodedImagePtr whole = source->decodeFirstImage(options);
            const auto memory = source->rowDecodeMemory(options);
            const std::uint64_t before = PixelMemoryBudget::shared().inUse();
            auto decoder = source->openRowDecoder(options);
            ASSERT_TRUE(whole && decoder && memory);
            EXPECT_EQ(PixelMemoryBudget::shared().inUse(), before + *memory);
            if (&variant == &kProgressive) {
                EXPECT_GT(*memory, std::uint64_t{301} * 203);
            }
            EXPECT_EQ(decoder->deliversOpaqueRgba(), variant.opaqueRgba);
            ASSERT_EQ(decoder->layout().width, whole->width);
            ASSERT_EQ(decoder->layout().height, whole->height);
            EXPECT_EQ(whole->width, options.minWidth && isJpeg(variant) ? 151u : 301u);
            const Rows rows = wholeRows(*whole);
            EXPECT_TRUE(decodedRows(*decoder) == rows);

            decoder.reset();
            EXPECT_EQ(PixelMemoryBudget::shared().inUse(), before);

            const auto skipping = source->openRowDecoder(options);
            ASSERT_TRUE(skipping);
            EXPECT_TRUE(decodedRows(*skipping, 50) == Rows(rows.begin() + 50, rows.end()));
            test::LogCapture log;
            std::vector<std::uint8_t> row(skipping->layout().rowBytes);
            EXPECT_FALSE(skipping->readRow(10, row.data()));
            EXPECT_EQ(log.lines().size(), 1u);
        }
    }
}

// A cut file reads its header, then fails at the first row it lacks (or, when
// progressive, as it starts): one log line, and every later row fails quietly.
TEST(RowDecoding, aTruncatedJpegFailsCleanlyPartWay) {
    for (const Variant& variant : {kBaseline, kProgressive, kVariants[3], kPng}) {
        SCOPED_TRACE(variant.name);
        test::TempDir dir;
        const std::string bytes = test::readFile(writeVariant(dir, variant));
        const auto source = ImageSource::createWithData(test::bytesOf(bytes.substr(0, bytes.size() * 6 / 10)));
        ASSERT_TRUE(source);
        test::LogCapture log;
        const auto decoder = source->openRowDecoder();
        if (decoder) {
            const Rows rows = decodedRows(*decoder);
            EXPECT_LT(rows.size(), decoder->layout().height);
            EXPECT_TRUE(decoder->failed());
            std::vector<std::uint8_t> row(decoder->layout().rowBytes);
            EXPECT_FALSE(decoder->readRow(decoder->layout().height - 1, row.data()));
        }
        ASSERT_EQ(log.lines().size(), 1u);
        const std::string expected = isJpeg(variant) ? "JPEG: cannot decode" : "PNG: cannot decode";
        EXPECT_EQ(log.lines()[0].rfind(expected, 0), 0u) << log.lines()[0];
    }
}

// Interlaced rows are complete only after the last pass: such a file is decoded whole.
TEST(RowDecoding, anInterlacedPngIsNotDecodedByRows) {
    test::TempDir dir;
    const std::string path = dir.file("interlaced.png");
    ASSERT_TRUE(test::magickConvert(test::makeSourcePng(dir.path()), "-interlace PNG", path));
    const auto source = ImageSource::createWithPath(path);
    ASSERT_TRUE(source);
    EXPECT_FALSE(source->decodesRows());
    test::LogCapture log;
    EXPECT_FALSE(source->openRowDecoder());
    EXPECT_EQ(log.lines().size(), 1u);
}

} // namespace
} // namespace pellora
