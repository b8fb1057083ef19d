#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "model/SettingsKeys.h"
#include "platform/imageio/TypeIdentifiers.h"

namespace pellora {
namespace {

// Red on the left half, blue on the right.
const test::PixelFunction halves = [](std::uint32_t x, std::uint32_t) {
    return x < 800 ? test::Rgba{255, 0, 0, 255} : test::Rgba{0, 0, 255, 255};
};

constexpr std::uint32_t kUprightWidth = 40, kUprightHeight = 60;

// The colour at the centre of each quarter of the raster is that of the upright picture's quarter.
void expectUprightQuarters(const Bitmap& raster) {
    ASSERT_FALSE(raster.pixels.empty());
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            const std::uint8_t* pixel =
                raster.pixel(raster.width * (1 + 2 * column) / 4, raster.height * (1 + 2 * row) / 4);
            const test::Rgba expected = test::quarterColour(row, column);
            EXPECT_NEAR(pixel[0], expected.r, 24) << "quarter " << row << "," << column;
            EXPECT_NEAR(pixel[1], expected.g, 24) << "quarter " << row << "," << column;
            EXPECT_NEAR(pixel[2], expected.b, 24) << "quarter " << row << "," << column;
        }
    }
}

TEST(Thumbnail, showsThePictureUprightForEveryOrientationTagWhateverTheExportTurns) {
    test::TempDir dir;
    for (const bool hardRotate : {true, false}) {
        test::freshSettings();
        test::setSetting(QVXDefaultsKey_hardRotate, hardRotate);
        for (int tag = 1; tag <= 8; ++tag) {
            SCOPED_TRACE("tag " + std::to_string(tag) + (hardRotate ? ", hard rotation on" : ", hard rotation off"));
            const std::string path = dir.file("tag" + std::to_string(tag) + ".jpg");
            ASSERT_TRUE(test::writeOrientedPicture(path, tag, kUprightWidth, kUprightHeight,
                                                   test::quarters(kUprightWidth, kUprightHeight)));
            PelloraImage record(path);
            const Size upright = record.uprightInputSize();
            EXPECT_EQ(std::pair(upright.width, upright.height), std::pair(40.0f, 60.0f));
            const auto thumbnail = record.tableViewNSImage();
            EXPECT_EQ(std::pair(thumbnail->size.width, thumbnail->size.height), std::pair(40.0f / 60.0f * 41.0f, 41.0f));
            EXPECT_LT(thumbnail->raster.width, thumbnail->raster.height);
            expectUprightQuarters(thumbnail->raster);
        }
    }
}

TEST(Thumbnail, sizesFollowThePixelProportionsWithTheLongerSideAt41) {
    test::TempDir dir;
    const std::string print = dir.file("print.png");
    ASSERT_EQ(test::runCommand("convert -size 3000x2000 xc:gray -density 300 -units PixelsPerInch '" + print + "'"), 0);
    for (const auto& [width, height, thumbWidth, thumbHeight] :
         {std::tuple{1600u, 1200u, 41.0f, 30.75f}, {1200u, 1600u, 30.75f, 41.0f}, {10u, 5u, 41.0f, 20.5f}}) {
        const std::string path = dir.file(std::to_string(width) + "x" + std::to_string(height) + ".jpg");
        ASSERT_TRUE(test::writePicture(path, kUTTypeJPEG, width, height, halves));
        const auto thumbnail = PelloraImage(path).tableViewNSImage();
        EXPECT_EQ(std::pair(thumbnail->size.width, thumbnail->size.height), std::pair(thumbWidth, thumbHeight)) << path;
    }
    const auto printThumbnail = PelloraImage(print).tableViewNSImage();
    EXPECT_EQ(std::pair(printThumbnail->size.width, printThumbnail->size.height), std::pair(41.0f, 27.333334f));
}

TEST(Thumbnail, isDrawnOnceAndKeptForTheRecordsLifeAndIsEmptyForUnreadableFiles) {
    test::TempDir dir;
    const std::string path = dir.file("halves.jpg");
    ASSERT_TRUE(test::writePicture(path, kUTTypeJPEG, 1600, 1200, halves));
    PelloraImage record(path);
    std::vector<std::shared_ptr<const Thumbnail>> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < seen.size(); ++t) threads.emplace_back([&, t] { seen[t] = record.tableViewNSImage(); });
    for (auto& thread : threads) thread.join();
    for (const auto& thumbnail : seen) EXPECT_EQ(thumbnail, seen.front());

    const Bitmap& raster = seen.front()->raster;
    ASSERT_GT(raster.width, 40u);
    EXPECT_GT(raster.pixel(2, raster.height / 2)[0], 240);             // red on the left
    EXPECT_GT(raster.pixel(raster.width - 3, raster.height / 2)[2], 240);  // blue on the right

    // Once made, the file is not read again.
    std::remove(path.c_str());
    EXPECT_EQ(record.tableViewNSImage(), seen.front());

    // A file that cannot be read gets an empty square.
    test::writeFile(dir.file("broken.png"), "no picture here");
    for (const std::string& unreadable : {dir.file("missing.jpg"), dir.file("broken.png")}) {
        test::LogCapture quiet;
        const auto thumbnail = PelloraImage(unreadable).tableViewNSImage();
        EXPECT_EQ(std::pair(thumbnail->size.width, thumbnail->size.height), std::pair(41.0f, 41.0f));
        EXPECT_TRUE(thumbnail->raster.pixels.empty());
    }
}

} // namespace
} // namespace pellora
