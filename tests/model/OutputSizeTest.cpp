#include <gtest/gtest.h>

#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "model/SettingsKeys.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"

namespace pellora {
namespace {

// A plain JPEG of the given stored size, with the orientation tag when given.
std::string pictureOfSize(const test::TempDir& dir, std::uint32_t width, std::uint32_t height,
                          const PlistValue& orientation = {}) {
    const std::string path =
        dir.file(std::to_string(width) + "x" + std::to_string(height) + "-" + orientation.description() + ".jpg");
    PlistDictionary properties{{kCGImageDestinationLossyCompressionQuality, 0.1}};
    if (!orientation.isNull()) {
        properties.set(kCGImagePropertyTIFFDictionary,
                       PlistDictionary{{orientation.isString() ? "Artist" : kCGImagePropertyTIFFOrientation, orientation}});
    }
    const bool written = test::writePicture(
        path, kUTTypeJPEG, width, height, [](std::uint32_t, std::uint32_t) { return test::Rgba{90, 90, 90, 255}; },
        properties);
    EXPECT_TRUE(written) << path;
    return path;
}

Size outputSizeWithin(PelloraImage& record, int maxWidth, int maxHeight) {
    record.setMaxWidth(maxWidth);
    record.setMaxHeight(maxHeight);
    return record.outputSize();
}

void expectSize(Size actual, float width, float height) {
    EXPECT_EQ(std::pair(actual.width, actual.height), std::pair(width, height));
}

TEST(OutputSize, uprightImagesAreLimitedWidthFirstInSinglePrecisionAndNeverEnlarged) {
    test::pipelineSettings();
    test::TempDir dir;
    PelloraImage landscape(pictureOfSize(dir, 3000, 2000));
    expectSize(outputSizeWithin(landscape, 1024, 768), 1024, 682);
    expectSize(outputSizeWithin(landscape, 4000, 4000), 3000, 2000);
    expectSize(outputSizeWithin(landscape, 3000, 1000), 1500, 1000);  // equal to the limit: left alone
    for (const auto& [w, h] : {std::pair{1024, 0}, {0, 768}, {-1, -1}}) expectSize(outputSizeWithin(landscape, w, h), 3000, 2000);
    // 640 / 1064 rounds so that 1064 * f is 639.99994.
    PelloraImage odd(pictureOfSize(dir, 1064, 1000));
    expectSize(outputSizeWithin(odd, 640, 640), 639, 601);
    PelloraImage square(pictureOfSize(dir, 1000, 1000));
    expectSize(outputSizeWithin(square, 1000, 1000), 1000, 1000);
}

// Orientations outside 1 to 8 count as not turned.
TEST(OutputSize, turnedImagesAreLimitedCrosswiseAndSwappedOnlyWhenHardRotated) {
    test::pipelineSettings();
    test::TempDir dir;
    PelloraImage turned(pictureOfSize(dir, 4000, 3000, 6));
    expectSize(outputSizeWithin(turned, 1024, 1024), 768, 1024);
    expectSize(outputSizeWithin(turned, 0, 0), 3000, 4000);
    test::setSetting(QVXDefaultsKey_hardRotate, false);
    expectSize(outputSizeWithin(turned, 1024, 1024), 1024, 768);
    expectSize(outputSizeWithin(turned, -1, 500), 4000, 3000);
    test::pipelineSettings();  // hard rotation back on
    PelloraImage nine(pictureOfSize(dir, 4000, 3000, 9));
    PelloraImage withoutTag(pictureOfSize(dir, 4000, 3000, "Ann"));
    ASSERT_EQ(orientationTagOf(withoutTag.inputMetadata()), 0);
    for (PelloraImage* record : {&nine, &withoutTag}) {
        expectSize(outputSizeWithin(*record, 1024, 1024), 1024, 768);
        expectSize(outputSizeWithin(*record, 0, 0), 4000, 3000);
    }
}

} // namespace
} // namespace pellora
