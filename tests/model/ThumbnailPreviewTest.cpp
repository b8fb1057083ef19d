#include <gtest/gtest.h>

#include <cstdlib>

#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "model/RecordReadOnce.h"
#include "model/ThumbnailRaster.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"

namespace pellora {
namespace {

constexpr std::uint32_t kUprightWidth = 240, kUprightHeight = 160;

// The mean difference of two rasters' colour samples; 255 when their sizes differ.
double meanDifference(const Bitmap& a, const Bitmap& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty()) return 255;
    double sum = 0;
    std::size_t samples = 0;
    for (std::uint32_t y = 0; y < a.height; ++y) {
        for (std::uint32_t x = 0; x < a.width; ++x) {
            for (int c = 0; c < 3; ++c, ++samples) sum += std::abs(int(a.pixel(x, y)[c]) - int(b.pixel(x, y)[c]));
        }
    }
    return sum / double(samples);
}

// The list raster drawn from the file's stored preview, or nullopt when it is refused.
std::optional<Bitmap> previewRaster(const std::string& path) {
    PelloraImage record(path);
    const RecordReadOnce fileReadOnce(record);
    const Size stored = record.inputSize();
    const int tag = orientationTagOf(record.inputMetadata());
    const auto source = RecordReadOnce::openSource(path);
    const auto thumbnail = record.tableViewNSImage();
    if (!source) return std::nullopt;
    return thumbnailRasterFromPreview(*source, path, stored, tag, thumbnail->raster.width, thumbnail->raster.height);
}

// Each tag: a photo carrying a preview of the same picture gets its
// thumbnail from the preview, and it shows what decoding the photo shows.
TEST(ThumbnailPreview, isTurnedUprightLikeTheImageForEveryOrientationTag) {
    test::TempDir dir;
    test::freshSettings();
    const auto picture = test::quarters(kUprightWidth, kUprightHeight);
    const auto smallPicture = test::quarters(kUprightWidth / 2, kUprightHeight / 2);
    std::vector<std::pair<std::string, std::vector<std::string>>> embeddings;
    for (int tag = 1; tag <= 8; ++tag) {
        const std::string tagName = std::to_string(tag);
        ASSERT_TRUE(test::writeOrientedPicture(dir.file("plain" + tagName + ".jpg"), tag, kUprightWidth, kUprightHeight, picture));
        ASSERT_TRUE(test::writeOrientedPicture(dir.file("preview" + tagName + ".jpg"), tag, kUprightWidth / 2,
                                               kUprightHeight / 2, smallPicture));
        ASSERT_TRUE(test::writeOrientedPicture(dir.file("camera" + tagName + ".jpg"), tag, kUprightWidth, kUprightHeight, picture));
        embeddings.push_back({dir.file("camera" + tagName + ".jpg"), {"-ThumbnailImage<=" + dir.file("preview" + tagName + ".jpg")}});
    }
    ASSERT_TRUE(test::exifToolWriteEach(embeddings));
    for (int tag = 1; tag <= 8; ++tag) {
        SCOPED_TRACE("tag " + std::to_string(tag));
        const std::string camera = dir.file("camera" + std::to_string(tag) + ".jpg");
        const auto fromPreview = previewRaster(camera);
        ASSERT_TRUE(fromPreview);
        const auto decoded = PelloraImage(dir.file("plain" + std::to_string(tag) + ".jpg")).tableViewNSImage();
        EXPECT_LT(meanDifference(*fromPreview, decoded->raster), 6.0);
        EXPECT_LT(meanDifference(PelloraImage(camera).tableViewNSImage()->raster, decoded->raster), 6.0);
    }
}

// Previews that would show something else, or nothing, leave the thumbnail
// to decoding: it then shows the photo, not the preview.
TEST(ThumbnailPreview, unfitPreviewsFallBackToDecoding) {
    test::TempDir dir;
    test::freshSettings();
    const auto picture = test::quarters(kUprightWidth, kUprightHeight);
    const auto magenta = [](std::uint32_t, std::uint32_t) { return test::Rgba{255, 0, 255, 255}; };
    ASSERT_TRUE(test::writeOrientedPicture(dir.file("plain.jpg"), 6, kUprightWidth, kUprightHeight, picture));
    ASSERT_TRUE(test::writePicture(dir.file("square.jpg"), kUTTypeJPEG, 120, 120, magenta));
    ASSERT_TRUE(test::writePicture(dir.file("small.jpg"), kUTTypeJPEG, 40, 60, magenta));
    // Of the stored proportions (tag 6 stores the picture turned), but broken off.
    ASSERT_TRUE(test::writePicture(dir.file("whole.jpg"), kUTTypeJPEG, 80, 120, magenta));
    const std::string whole = test::readFile(dir.file("whole.jpg"));
    test::writeFile(dir.file("corrupt.jpg"), whole.substr(0, whole.size() / 2));
    struct Case {
        std::string name;
        std::string preview;  // empty: none
    };
    const std::vector<Case> cases{
        {"wrong proportions", dir.file("square.jpg")},
        {"too small", dir.file("small.jpg")},
        {"corrupt", dir.file("corrupt.jpg")},
        {"missing", ""},
    };
    std::vector<std::pair<std::string, std::vector<std::string>>> embeddings;
    for (const Case& unfit : cases) {
        const std::string path = dir.file(unfit.name + ".photo.jpg");
        ASSERT_TRUE(test::writeOrientedPicture(path, 6, kUprightWidth, kUprightHeight, picture));
        if (!unfit.preview.empty()) embeddings.push_back({path, {"-ThumbnailImage<=" + unfit.preview}});
    }
    ASSERT_TRUE(test::exifToolWriteEach(embeddings));
    const auto decoded = PelloraImage(dir.file("plain.jpg")).tableViewNSImage();
    for (const Case& unfit : cases) {
        SCOPED_TRACE(unfit.name);
        const std::string path = dir.file(unfit.name + ".photo.jpg");
        test::LogCapture log;
        EXPECT_FALSE(previewRaster(path));
        EXPECT_LT(meanDifference(PelloraImage(path).tableViewNSImage()->raster, decoded->raster), 6.0);
        if (unfit.name == "corrupt") {
            EXPECT_TRUE(log.contains("preview stored in " + path + " cannot be read"));
        }
    }
}

} // namespace
} // namespace pellora
