#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/imageio/ImageSource.h"
#include "support/ImageTestSupport.h"
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

// Every valid image and its BMP copy decode to the reference, header and
// pixels (16-bit PNGs are narrowed to 8 bits as they are read); every corrupt
// image is refused with a log line.
TEST(PngSuite, everyValidImageDecodesToTheReferenceAndEveryCorruptOneIsRefused) {
    int valid = 0, corrupt = 0;
    for (const std::string folder : {"png", "bmp"}) {
        for (const auto& name : namesIn(folder, "." + folder)) {
            const std::string path = suite + "/" + folder + "/" + name + "." + folder;
            SCOPED_TRACE(path);
            test::LogCapture log;
            const auto source = ImageSource::createWithPath(path);
            if (isCorrupt(name)) {
                EXPECT_FALSE(source && source->decodeFirstImage() != nullptr);
                EXPECT_EQ(log.lines().size(), 1u);
                ++corrupt;
                continue;
            }
            ASSERT_NE(source, nullptr);
            const auto header = source->header();
            const auto image = source->decodeFirstImage();
            ASSERT_TRUE(header.has_value());
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(std::pair(header->width, header->height), std::pair(image->width, image->height));
            EXPECT_LE(test::maxVisibleDifference(test::rgba8(*image), referencePixels(name)), isSixteenBit(name) ? 1 : 0);
            if (folder == "png" && isSixteenBit(name)) {
                EXPECT_EQ(image->sampleFormat, SampleFormat::UInt8);
            }
            ++valid;
        }
    }
    EXPECT_EQ(std::pair(valid, corrupt), std::pair(2 * 161, 14));
}

} // namespace
} // namespace pellora
