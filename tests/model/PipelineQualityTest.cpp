#include <gtest/gtest.h>

#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "platform/graphics/LanczosReference.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"

// Quality through the whole pipeline, written as PNG so that no JPEG loss
// hides a fault: the decode at a reduced scale and the drawing together must
// stay close to a float Lanczos-3 resize of the full-size decode.
namespace pellora {
namespace {

// Saves an RGB picture as a high-quality JPEG and returns its full-size decode.
DecodedImagePtr saveAsJpeg(const DecodedImage& picture, const std::string& path) {
    const bool written = test::writePicture(
        path, kUTTypeJPEG, picture.width, picture.height,
        [&](std::uint32_t x, std::uint32_t y) {
            const std::uint8_t* rgb = picture.pixels.data() + y * picture.rowBytes + x * 3;
            return test::Rgba{rgb[0], rgb[1], rgb[2], 255};
        },
        {{kCGImageDestinationLossyCompressionQuality, 0.95}});
    return written ? test::decodeFile(path) : nullptr;
}

// Exports the record within the limits as PNG and returns the written pixels.
DecodedImagePtr exportAsPng(PelloraImage& record, int maxWidth, int maxHeight, const std::string& output) {
    record.setMaxWidth(maxWidth);
    record.setMaxHeight(maxHeight);
    if (!record.writeToPath(output, kUTTypePNG, {{kCGImagePropertyHasAlpha, true}})) return nullptr;
    return test::decodeFile(output);
}

TEST(PipelineQuality, photographShrunkByOneAndAHalfToEightMatchesTheReference) {
    test::pipelineSettings();
    test::TempDir dir;
    const std::string source = dir.file("photo.jpg");
    const DecodedImagePtr full = saveAsJpeg(test::photographLike(480, 360), source);
    ASSERT_NE(full, nullptr);
    PelloraImage record(source);
    for (const double factor : {1.5, 2.0, 3.0, 4.5, 6.0, 8.0}) {
        SCOPED_TRACE(factor);
        const DecodedImagePtr written = exportAsPng(record, int(480 / factor), int(360 / factor), dir.file("out.png"));
        ASSERT_NE(written, nullptr);
        EXPECT_GE(test::psnr(*written, test::referenceResize(*full, written->width, written->height)), 45.0);
    }
}

TEST(PipelineQuality, zonePlateShrunkByFiveDoesNotAlias) {
    test::pipelineSettings();
    test::TempDir dir;
    const std::string source = dir.file("plate.jpg");
    const DecodedImagePtr full = saveAsJpeg(test::zonePlate(500), source);
    ASSERT_NE(full, nullptr);
    PelloraImage record(source);
    const DecodedImagePtr written = exportAsPng(record, 100, 100, dir.file("out.png"));
    ASSERT_NE(written, nullptr);
    ASSERT_EQ(written->width, 100u);
    EXPECT_GE(test::psnr(*written, test::referenceResize(*full, 100, 100)), 30.0);
}

} // namespace
} // namespace pellora
