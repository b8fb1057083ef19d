#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "jobs/JobTestSupport.h"
#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ImageTestSupport.h"

namespace pellora {
namespace {

const std::string pngSuite = std::string(PELLORA_TEST_DATA_DIR) + "/pngsuite";
const PlistDictionary pngOptions{{kImagePropertyHasAlpha, true}};

// Exports at full size as PNG and returns the written pixels as 8-bit RGBA.
std::vector<std::uint8_t> exportedRgba(const std::string& source, const std::string& output) {
    PelloraImage record(source);
    if (!record.writeToPath(output, kImageTypePNG, pngOptions)) return {};
    const DecodedImagePtr written = test::decodeFile(output);
    return written ? test::rgba8(*written) : std::vector<std::uint8_t>{};
}

TEST(Rendering, greyPalettedAndSixteenBitSourcesComeOutAsTheirSrgbColours) {
    test::freshSettings();
    test::TempDir dir;
    for (const auto& [name, reference] : {std::pair{"basn0g08", "basn0g08"},
                                          {"basn3p08", "basn3p08"},
                                          {"basn2c16", "basn2c16_to8"},
                                          {"basn4a08", "basn4a08"}}) {
        SCOPED_TRACE(name);
        const auto written = exportedRgba(pngSuite + "/png/" + name + ".png", dir.file("out.png"));
        const std::vector<int> values = test::readJsonIntegers(pngSuite + "/json/" + reference + ".json");
        const std::vector<std::uint8_t> expected(values.begin(), values.end());
        // The pipeline's pixels are premultiplied: colours under low alpha keep little precision.
        EXPECT_LE(test::maxDifference(test::premultiplied(written), test::premultiplied(expected)), 1);
    }
}

// Every way a write can fail logs the pipeline's lines, returns false and
// leaves nothing behind in the destination folder.
void expectFailedWrite(const std::string& source, const std::string& output,
                       const std::vector<std::string>& expectedErrors) {
    SCOPED_TRACE(source);
    const auto before = test::folderEntries(std::filesystem::path(output).parent_path());
    test::LogCapture log;
    EXPECT_FALSE(PelloraImage(source).writeToPath(output, kImageTypePNG, pngOptions));
    EXPECT_EQ(test::errorLines(log), expectedErrors);
    EXPECT_EQ(test::folderEntries(std::filesystem::path(output).parent_path()), before);
}

TEST(Rendering, failedWritesLogTheirLinesInOrderAndLeaveNoFile) {
    test::freshSettings();
    test::TempDir dir;
    const std::string noSource = "*** Error: inputCGImage: Image source is NULL.";
    const std::string notCreated = "*** Error: outputCGImage: Image not created from image source.";
    const std::string out = dir.file("out.png");

    const std::string vanished = dir.file("vanished.jpg");
    ASSERT_TRUE(test::writePicture(vanished, kImageTypeJPEG, 8, 8, [](auto, auto) { return test::Rgba{1, 2, 3, 255}; }));
    PelloraImage vanishedRecord(vanished);
    EXPECT_EQ(vanishedRecord.inputSize().width, 8.0f);
    std::remove(vanished.c_str());
    {
        test::LogCapture log;
        EXPECT_FALSE(vanishedRecord.writeToPath(out, kImageTypePNG, pngOptions));
        EXPECT_EQ(test::errorLines(log), (std::vector<std::string>{noSource, notCreated}));
        EXPECT_FALSE(test::fileExists(out));
    }

    // The header reads, the pixels do not (a broken IDAT checksum).
    expectFailedWrite(pngSuite + "/png/xcsn0g01.png", out, {notCreated});
    // The header reads, the rows run out part way (a JPEG decoded row by row).
    const std::string cut = dir.file("cut.jpg");
    ASSERT_TRUE(test::writeGradient(cut, kImageTypeJPEG, 200, 150));
    const std::string whole = test::readFile(cut);
    test::writeFile(cut, whole.substr(0, whole.size() / 2));
    expectFailedWrite(cut, out, {notCreated});
    // Not even the header reads.
    const std::string headless = dir.file("headless.jpg");
    test::writeFile(headless, std::string("\xFF\xD8\xFF\xE0\x00\x04\x00\x00", 8) + std::string(200, '\x55'));
    expectFailedWrite(headless, out, {notCreated});

    // A destination folder that does not exist, and a path taken by a folder.
    const std::string good = pngSuite + "/png/basn2c08.png";
    EXPECT_FALSE(PelloraImage(good).writeToPath(dir.file("missing/out.png"), kImageTypePNG, pngOptions));
    EXPECT_FALSE(test::fileExists(dir.file("missing")));
    std::filesystem::create_directory(dir.file("taken.png"));
    expectFailedWrite(good, dir.file("taken.png"), {});
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.png")));
}

// Above 2^26 bytes a single-precision byte count is no longer exact: with both
// sides odd it falls a few bytes short of the last row, which drawing then
// overruns. Every row must be inside the buffer, and the last pixel painted.
TEST(Rendering, largeOutputsWithOddSidesGetABufferHoldingEveryRow) {
    test::freshSettings();
    test::TempDir dir;
    const std::string source = dir.file("large.png");
    ASSERT_TRUE(test::magick("-size 4097x4097 xc:gray40 -depth 8 " + test::quoted(source)));
    PelloraImage record(source);
    const std::optional<Bitmap> output = record.renderOutput();
    ASSERT_TRUE(output.has_value());
    ASSERT_EQ(std::pair(output->width, output->height), std::pair(4097u, 4097u));
    EXPECT_EQ(output->rowBytes, 4097u * 4);
    EXPECT_EQ(output->pixels.size(), std::size_t{4097} * 4097 * 4);
    const std::uint8_t* last = output->pixel(4096, 4096);
    EXPECT_EQ(std::vector<int>(last, last + 4), (std::vector<int>{102, 102, 102, 255}));
}

// Rows drawn as they are decoded land where the whole decode's rows land, with
// the same values, for every orientation and a reduced decoding scale.
TEST(Rendering, drawingRowsAsTheyAreDecodedEqualsDrawingTheWholeImage) {
    test::TempDir dir;
    const std::string path = dir.file("gradient.jpg");
    ASSERT_TRUE(test::writeGradient(path, kImageTypeJPEG, 97, 61));
    const auto source = ImageSource::createWithPath(path);
    ASSERT_TRUE(source);
    DecodeOptions options;
    options.minWidth = 34;  // decoded at 3/8: 37 x 23
    options.minHeight = 22;
    const DecodedImagePtr whole = source->decodeFirstImage(options);
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->width, 37u);
    for (int tag = 1; tag <= 8; ++tag) {
        SCOPED_TRACE(tag);
        const std::uint32_t width = tag >= 5 ? 11 : 17, height = tag >= 5 ? 17 : 11;
        const auto draw = [&](bool byRows) {
            std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4);
            const auto context = BitmapContext::create(pixels.data(), pixels.size(), width, height, width * 4);
            const Rect rect = rectWithOrientedContext(*context, tag, float(width), float(height));
            const auto rows = byRows ? source->openRowDecoder(options) : nullptr;
            EXPECT_TRUE(byRows ? rows && context->drawRows(rect, *rows) : context->drawImage(rect, *whole));
            return pixels;
        };
        EXPECT_EQ(draw(true), draw(false));
    }
}

} // namespace
} // namespace pellora
