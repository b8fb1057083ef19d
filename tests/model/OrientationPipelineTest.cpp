#include <gtest/gtest.h>

#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "model/SettingsKeys.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/GraphicsTestImages.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"
#include "support/ImageTestSupport.h"

// Orientation through the whole pipeline, with ImageMagick's -auto-orient as
// the independent judge of what each tag means.
namespace pellora {
namespace {

// Every pixel of the small pattern differs, so any mirror or turn shows.
const test::PixelFunction pattern = [](std::uint32_t x, std::uint32_t y) {
    return test::Rgba{std::uint8_t(20 + 40 * x), std::uint8_t(30 + 60 * y), std::uint8_t(x * y * 9), 255};
};

// The pattern as a 5 x 3 TIFF with each orientation 1..8 (tagged by
// exiftool); tag n at index n - 1.
std::vector<std::string> taggedCopies(const test::TempDir& dir) {
    std::vector<std::string> paths;
    std::vector<std::pair<std::string, std::vector<std::string>>> tagging;
    for (int tag = 1; tag <= 8; ++tag) {
        paths.push_back(dir.file("tag" + std::to_string(tag) + ".tiff"));
        EXPECT_TRUE(test::writePicture(paths.back(), kImageTypeTIFF, 5, 3, pattern));
        tagging.push_back({paths.back(), {"-Orientation#=" + std::to_string(tag)}});
    }
    EXPECT_TRUE(test::exifToolWriteEach(tagging));
    return paths;
}

// ImageMagick's upright versions of the files, in the same order, as 8-bit RGBA.
std::vector<std::vector<std::uint8_t>> imageMagickUpright(const test::TempDir& dir,
                                                          const std::vector<std::string>& paths) {
    std::string command = "convert";
    for (const std::string& path : paths) command += " '" + path + "'";
    command += " -auto-orient '" + dir.file("upright-%d.png") + "'";
    EXPECT_EQ(test::runCommand(command), 0);
    std::vector<std::vector<std::uint8_t>> upright;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const DecodedImagePtr image = test::decodeFile(dir.file("upright-" + std::to_string(i) + ".png"));
        upright.push_back(image ? test::rgba8(*image) : std::vector<std::uint8_t>{});
    }
    return upright;
}


// Where the displayed pixel (x, y) of an upright image comes from in the
// stored w x h image, as the TIFF orientation tags define it.
std::pair<std::uint32_t, std::uint32_t> storedPixelShownAt(int tag, std::uint32_t x, std::uint32_t y, std::uint32_t w,
                                                           std::uint32_t h) {
    switch (tag) {
    case 2: return {w - 1 - x, y};
    case 3: return {w - 1 - x, h - 1 - y};
    case 4: return {x, h - 1 - y};
    case 5: return {y, x};
    case 6: return {y, h - 1 - x};
    case 7: return {w - 1 - y, h - 1 - x};
    case 8: return {w - 1 - y, x};
    default: return {x, y};
    }
}

// Shrunk by unequal factors on the two axes, every tag draws the upright
// shrink turned exactly as the TIFF tag defines it (at full size the export
// below is judged by ImageMagick).
TEST(OrientationPipeline, everyTagShrunkIsTheUprightShrinkTurnedAsTheTagDefines) {
    const DecodedImage textured = test::rgbImage(40, 30, [](std::uint32_t x, std::uint32_t y, std::uint8_t* rgb) {
        rgb[0] = std::uint8_t((x * 37 + y * 11) % 256), rgb[1] = std::uint8_t((x * x + 3 * y * y) % 251);
        rgb[2] = std::uint8_t(x < 13 ? 30 : 220);
    });
    const std::uint32_t w = 17, h = 11;
    const Bitmap uprightShrink = test::drawIntoBitmap(textured, w, h, makeRect(0, 0, float(w), float(h)));
    for (int tag = 1; tag <= 8; ++tag) {
        SCOPED_TRACE(tag);
        const std::uint32_t outW = tag >= 5 ? h : w, outH = tag >= 5 ? w : h;
        const Bitmap drawn = test::drawIntoBitmap(textured, outW, outH, {}, [&](BitmapContext& c) {
            c.drawImage(rectWithOrientedContext(c, tag, float(outW), float(outH)), textured);
        });
        for (std::uint32_t i = 0; i < outW * outH; ++i) {
            const std::uint32_t x = i % outW, y = i / outW;
            const auto [sx, sy] = storedPixelShownAt(tag, x, y, w, h);
            ASSERT_EQ(std::vector<int>(drawn.pixel(x, y), drawn.pixel(x, y) + 4),
                      std::vector<int>(uprightShrink.pixel(sx, sy), uprightShrink.pixel(sx, sy) + 4))
                << "at " << x << "," << y;
        }
    }
}

// A lossless source, exported at full size, comes out pixel for pixel as
// ImageMagick turns it (the reading of the tag from JPEG files and the drawing
// of decoded rows are checked with the record and the rendering).
TEST(OrientationPipeline, everyTagAtFullSizeComesOutExactlyAsImageMagickTurnsIt) {
    test::freshSettings();
    test::TempDir dir;
    const std::vector<std::string> paths = taggedCopies(dir);
    const auto upright = imageMagickUpright(dir, paths);
    for (int tag = 1; tag <= 8; ++tag) {
        SCOPED_TRACE(paths[tag - 1]);
        ASSERT_TRUE(PelloraImage(paths[tag - 1]).writeToPath(dir.file("out.png"), kImageTypePNG, {{kImagePropertyHasAlpha, true}}));
        const DecodedImagePtr written = test::decodeFile(dir.file("out.png"));
        ASSERT_NE(written, nullptr);
        EXPECT_EQ(std::pair(written->width, written->height), tag >= 5 ? std::pair(3u, 5u) : std::pair(5u, 3u));
        EXPECT_EQ(test::rgba8(*written), upright[tag - 1]);
    }
}

// With hard rotation, a TIFF dictionary without the orientation is drawn
// untransformed after a log line; without it, so is a turned picture, whose
// outputs keep the stored pixels and the tag.
TEST(OrientationPipeline, unturnedPicturesAreDrawnUntransformed) {
    test::freshSettings();
    test::TempDir dir;
    const std::string turned = taggedCopies(dir)[5];
    const std::string withoutTag = dir.file("artist.jpg"), bare = dir.file("bare.jpg");
    ASSERT_TRUE(test::writePicture(withoutTag, kImageTypeJPEG, 5, 3, pattern,
                                   {{kImagePropertyTIFFDictionary, PlistDictionary{{"Artist", "Ann"}}}}));
    ASSERT_TRUE(test::writePicture(bare, kImageTypeJPEG, 5, 3, pattern));
    const struct {
        std::string path;
        bool hardRotate;
        std::vector<std::string> lines;
    } cases[] = {{withoutTag, true, {"*** Error: rotateContext: Invalid image orientation: 0"}},
                 {bare, true, {}},
                 {turned, false, {}}};
    for (const auto& c : cases) {
        test::setSetting(QVXDefaultsKey_hardRotate, c.hardRotate);
        std::vector<std::uint8_t> buffer(5 * 3 * 4);
        const auto context = BitmapContext::create(buffer.data(), buffer.size(), 5, 3, 20);
        test::LogCapture log;
        const Rect rect = PelloraImage(c.path).outputRectWithOrientedContext(*context, 5, 3);
        EXPECT_EQ(std::pair(rect.size.width, rect.size.height), std::pair(5.0f, 3.0f)) << c.path;
        EXPECT_EQ(context->ctm(), AffineTransform::identity()) << c.path;
        EXPECT_EQ(log.lines(), c.lines) << c.path;
    }

    PelloraImage record(turned);
    for (const auto& [type, extension] : {std::pair{kImageTypePNG, "png"}, {kImageTypeJPEG, "jpg"}}) {
        const std::string output = dir.file(std::string("out.") + extension);
        ASSERT_TRUE(record.writeToPath(output, type, {{kImagePropertyHasAlpha, true}}));
        EXPECT_EQ(test::exifToolTags(output)["IFD0:Orientation"], "6") << output;
        if (std::string(type) == kImageTypePNG) {
            EXPECT_EQ(test::rgba8(*test::decodeFile(output)), test::rgba8(*test::decodeFile(turned)));
        }
    }
}

} // namespace
} // namespace pellora
