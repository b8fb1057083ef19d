#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "model/RecordReadOnce.h"
#include "model/SettingsKeys.h"
#include "model/ThumbnailRaster.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"

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
            const auto thumbnail = record.thumbnail();
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
        ASSERT_TRUE(test::writePicture(path, kImageTypeJPEG, width, height, halves));
        const auto thumbnail = PelloraImage(path).thumbnail();
        EXPECT_EQ(std::pair(thumbnail->size.width, thumbnail->size.height), std::pair(thumbWidth, thumbHeight)) << path;
    }
    const auto printThumbnail = PelloraImage(print).thumbnail();
    EXPECT_EQ(std::pair(printThumbnail->size.width, printThumbnail->size.height), std::pair(41.0f, 27.333334f));
}

TEST(Thumbnail, isDrawnOnceAndKeptForTheRecordsLifeAndIsEmptyForUnreadableFiles) {
    test::TempDir dir;
    const std::string path = dir.file("halves.jpg");
    ASSERT_TRUE(test::writePicture(path, kImageTypeJPEG, 1600, 1200, halves));
    PelloraImage record(path);
    std::vector<std::shared_ptr<const Thumbnail>> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < seen.size(); ++t) threads.emplace_back([&, t] { seen[t] = record.thumbnail(); });
    for (auto& thread : threads) thread.join();
    for (const auto& thumbnail : seen) EXPECT_EQ(thumbnail, seen.front());

    const Bitmap& raster = seen.front()->raster;
    ASSERT_GT(raster.width, 40u);
    EXPECT_GT(raster.pixel(2, raster.height / 2)[0], 240);             // red on the left
    EXPECT_GT(raster.pixel(raster.width - 3, raster.height / 2)[2], 240);  // blue on the right

    // Once made, the file is not read again.
    std::remove(path.c_str());
    EXPECT_EQ(record.thumbnail(), seen.front());

    // A file that cannot be read gets an empty square.
    test::writeFile(dir.file("broken.png"), "no picture here");
    for (const std::string& unreadable : {dir.file("missing.jpg"), dir.file("broken.png")}) {
        test::LogCapture quiet;
        const auto thumbnail = PelloraImage(unreadable).thumbnail();
        EXPECT_EQ(std::pair(thumbnail->size.width, thumbnail->size.height), std::pair(41.0f, 41.0f));
        EXPECT_TRUE(thumbnail->raster.pixels.empty());
    }
}

// The list raster drawn from the file's stored preview, or nullopt when it is refused.
std::optional<Bitmap> previewRaster(const std::string& path) {
    PelloraImage record(path);
    const RecordReadOnce fileReadOnce(record);
    const Size stored = record.inputSize();
    const int tag = orientationTagOf(record.inputMetadata());
    const auto source = RecordReadOnce::openSource(path);
    const auto thumbnail = record.thumbnail();
    if (!source) return std::nullopt;
    return thumbnailRasterFromPreview(*source, path, stored, tag, thumbnail->raster.width, thumbnail->raster.height);
}

// Each tag: a photo carrying a preview of the same picture gets its thumbnail
// from the preview, turned upright as decoding turns the photo.
TEST(Thumbnail, aStoredPreviewIsTurnedUprightForEveryOrientationTag) {
    test::TempDir dir;
    test::freshSettings();
    std::vector<std::pair<std::string, std::vector<std::string>>> embeddings;
    for (int tag = 1; tag <= 8; ++tag) {
        const std::string preview = dir.file("preview" + std::to_string(tag) + ".jpg");
        const std::string camera = dir.file("camera" + std::to_string(tag) + ".jpg");
        ASSERT_TRUE(test::writeOrientedPicture(preview, tag, 120, 80, test::quarters(120, 80)));
        ASSERT_TRUE(test::writeOrientedPicture(camera, tag, 240, 160, test::quarters(240, 160)));
        embeddings.push_back({camera, {"-ThumbnailImage<=" + preview}});
    }
    ASSERT_TRUE(test::exifToolWriteEach(embeddings));
    for (const auto& [camera, arguments] : embeddings) {
        SCOPED_TRACE(camera);
        const auto fromPreview = previewRaster(camera);
        ASSERT_TRUE(fromPreview);
        const auto thumbnail = PelloraImage(camera).thumbnail();
        EXPECT_EQ(std::pair(fromPreview->width, fromPreview->height),
                  std::pair(thumbnail->raster.width, thumbnail->raster.height));
        expectUprightQuarters(*fromPreview);
        expectUprightQuarters(thumbnail->raster);
    }
}

// Previews that would show something else, or nothing, leave the thumbnail
// to decoding: it then shows the photo, not the magenta preview.
TEST(Thumbnail, unfitPreviewsFallBackToDecoding) {
    test::TempDir dir;
    test::freshSettings();
    const auto magenta = [](std::uint32_t, std::uint32_t) { return test::Rgba{255, 0, 255, 255}; };
    ASSERT_TRUE(test::writePicture(dir.file("square.jpg"), kImageTypeJPEG, 120, 120, magenta));
    ASSERT_TRUE(test::writePicture(dir.file("small.jpg"), kImageTypeJPEG, 40, 60, magenta));
    // Of the stored proportions (tag 6 stores the picture turned), but broken off.
    ASSERT_TRUE(test::writePicture(dir.file("whole.jpg"), kImageTypeJPEG, 80, 120, magenta));
    const std::string whole = test::readFile(dir.file("whole.jpg"));
    test::writeFile(dir.file("corrupt.jpg"), whole.substr(0, whole.size() / 2));
    const std::vector<std::pair<std::string, std::string>> previews{
        {"wrong proportions", "square.jpg"}, {"too small", "small.jpg"}, {"corrupt", "corrupt.jpg"}, {"missing", ""}};
    std::vector<std::pair<std::string, std::vector<std::string>>> embeddings;
    for (const auto& [name, preview] : previews) {
        const std::string path = dir.file(name + ".photo.jpg");
        ASSERT_TRUE(test::writeOrientedPicture(path, 6, 240, 160, test::quarters(240, 160)));
        if (!preview.empty()) embeddings.push_back({path, {"-ThumbnailImage<=" + dir.file(preview)}});
    }
    ASSERT_TRUE(test::exifToolWriteEach(embeddings));
    for (const auto& [name, preview] : previews) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name + ".photo.jpg");
        test::LogCapture log;
        EXPECT_FALSE(previewRaster(path));
        expectUprightQuarters(PelloraImage(path).thumbnail()->raster);
        EXPECT_EQ(log.contains("preview stored in " + path + " cannot be read"), name == "corrupt");
    }
}

} // namespace
} // namespace pellora
