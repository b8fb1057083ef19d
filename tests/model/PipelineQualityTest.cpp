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
        path, kImageTypeJPEG, picture.width, picture.height,
        [&](std::uint32_t x, std::uint32_t y) {
            const std::uint8_t* rgb = picture.pixels.data() + y * picture.rowBytes + x * 3;
            return test::Rgba{rgb[0], rgb[1], rgb[2], 255};
        },
        {{kImageDestinationLossyCompressionQuality, 0.95}});
    return written ? test::decodeFile(path) : nullptr;
}

// Exports the record within the limits as PNG and returns the written pixels.
DecodedImagePtr exportAsPng(PelloraImage& record, int maxWidth, int maxHeight, const std::string& output) {
    record.setMaxWidth(maxWidth);
    record.setMaxHeight(maxHeight);
    if (!record.writeToPath(output, kImageTypePNG, {{kImagePropertyHasAlpha, true}})) return nullptr;
    return test::decodeFile(output);
}

TEST(PipelineQuality, shrunkPicturesMatchTheReference) {
    test::freshSettings();
    test::TempDir dir;
    struct Case {
        const char* name;
        DecodedImage picture;
        std::vector<double> factors;
        double minimumPsnr;
    };
    // A zone plate shrunk by five aliases badly without a proper low-pass filter.
    const Case cases[] = {{"photo", test::photographLike(480, 360), {1.5, 2.0, 3.0, 4.5, 6.0, 8.0}, 45.0},
                          {"plate", test::zonePlate(500), {5.0}, 30.0}};
    for (const Case& c : cases) {
        const std::string source = dir.file(std::string(c.name) + ".jpg");
        const DecodedImagePtr full = saveAsJpeg(c.picture, source);
        ASSERT_NE(full, nullptr);
        PelloraImage record(source);
        for (const double factor : c.factors) {
            SCOPED_TRACE(::testing::Message() << c.name << " / " << factor);
            const int width = int(c.picture.width / factor), height = int(c.picture.height / factor);
            const DecodedImagePtr written = exportAsPng(record, width, height, dir.file("out.png"));
            ASSERT_NE(written, nullptr);
            ASSERT_EQ(written->width, std::uint32_t(width));
            EXPECT_GE(test::psnr(*written, test::referenceResize(*full, written->width, written->height)), c.minimumPsnr);
        }
    }
}

} // namespace
} // namespace pellora
