#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/imageio/ImageSource.h"
#include "platform/imageio/ImageTestHelpers.h"
#include "support/TestSupport.h"

// The PngSuite (tests/data/pngsuite): every image of the suite against the
// reference pixels in json/ (8-bit RGBA, or the 16-bit samples scaled to 8 in
// the *_to8 files).
namespace pellora {
namespace {

const std::string suite = std::string(PELLORA_TEST_DATA_DIR) + "/pngsuite";

std::vector<std::string> namesIn(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(suite + "/" + folder)) {
        if (entry.path().extension() == extension) names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool isCorrupt(const std::string& name) { return name[0] == 'x'; }
bool isSixteenBit(const std::string& name) { return name.ends_with("16"); }

// The 8-bit reference: the *_to8 file where the suite has one, else the
// 16-bit samples scaled to 8 bits.
std::vector<std::uint8_t> referencePixels(const std::string& name) {
    const std::string eightBit = suite + "/json/" + name + "_to8.json";
    const bool scale = isSixteenBit(name) && !test::fileExists(eightBit);
    const auto values =
        test::readJsonIntegers(isSixteenBit(name) && !scale ? eightBit : suite + "/json/" + name + ".json");
    std::vector<std::uint8_t> pixels;
    for (const int value : values)
        pixels.push_back(static_cast<std::uint8_t>(scale ? (value * 255 + 32767) / 65535 : value));
    return pixels;
}

// Decodes path and compares it with the reference of name within tolerance.
void expectReferencePixels(const std::string& path, const std::string& name, int tolerance) {
    SCOPED_TRACE(path);
    const auto source = ImageSource::createWithPath(path);
    ASSERT_NE(source, nullptr);
    const auto header = source->header();
    const auto image = source->decodeFirstImage();
    ASSERT_TRUE(header.has_value());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(header->width, image->width);
    EXPECT_EQ(header->height, image->height);
    const int difference = test::maxRgbaDifference(test::toRgba8(*image), referencePixels(name));
    EXPECT_GE(difference, 0) << "size differs from the reference";
    EXPECT_LE(difference, tolerance);
}

TEST(PngSuite, everyValidImageDecodesToTheReferencePixels) {
    int checked = 0;
    for (const auto& name : namesIn("png", ".png")) {
        if (isCorrupt(name)) continue;
        expectReferencePixels(suite + "/png/" + name + ".png", name, isSixteenBit(name) ? 1 : 0);
        ++checked;
    }
    EXPECT_EQ(checked, 161);
}

TEST(PngSuite, sixteenBitImagesKeepSixteenBitSamples) {
    for (const auto& name : {"basn0g16", "basn2c16", "basn4a16", "basn6a16"}) {
        SCOPED_TRACE(name);
        const auto image = ImageSource::createWithPath(suite + "/png/" + name + ".png")->decodeFirstImage();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->sampleFormat, SampleFormat::UInt16);
    }
}

TEST(PngSuite, everyBmpCopyDecodesToTheReferencePixels) {
    int checked = 0;
    for (const auto& name : namesIn("bmp", ".bmp")) {
        expectReferencePixels(suite + "/bmp/" + name + ".bmp", name, isSixteenBit(name) ? 1 : 0);
        ++checked;
    }
    EXPECT_EQ(checked, 161);
}

TEST(PngSuite, everyCorruptImageIsRefusedWithALogLine) {
    int checked = 0;
    for (const auto& name : namesIn("png", ".png")) {
        if (!isCorrupt(name)) continue;
        SCOPED_TRACE(name);
        test::LogCapture log;
        const auto source = ImageSource::createWithPath(suite + "/png/" + name + ".png");
        const bool decoded = source && source->decodeFirstImage() != nullptr;
        EXPECT_FALSE(decoded);
        EXPECT_EQ(log.lines().size(), 1u);
        ++checked;
    }
    EXPECT_EQ(checked, 14);
}

} // namespace
} // namespace pellora
