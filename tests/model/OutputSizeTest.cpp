#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "jobs/ExportSettings.h"
#include "model/FittedSize.h"
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
    PlistDictionary properties{{kImageDestinationLossyCompressionQuality, 0.1}};
    if (!orientation.isNull()) {
        properties.set(kImagePropertyTIFFDictionary,
                       PlistDictionary{{orientation.isString() ? "Artist" : kImagePropertyTIFFOrientation, orientation}});
    }
    const bool written = test::writePicture(
        path, kImageTypeJPEG, width, height, [](std::uint32_t, std::uint32_t) { return test::Rgba{90, 90, 90, 255}; },
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

// The fitting itself is checked on its own below; here, that a record fits
// its upright size, and that a limit of zero or below means none.
TEST(OutputSize, uprightImagesAreFittedWithinTheLimitsAndZeroMeansNone) {
    test::freshSettings();
    test::TempDir dir;
    PelloraImage landscape(pictureOfSize(dir, 3000, 2000));
    expectSize(outputSizeWithin(landscape, 1024, 768), 1024, 682);
    for (const auto& [w, h] : {std::pair{1024, 0}, {0, 768}, {-1, -1}}) expectSize(outputSizeWithin(landscape, w, h), 3000, 2000);
    // In single precision 640 / 1064 rounds so that 1064 * f is 639.99994: the
    // limited side must still come out at its limit.
    PelloraImage odd(pictureOfSize(dir, 1064, 1000));
    expectSize(outputSizeWithin(odd, 640, 640), 640, 601);
}

// Orientations outside 1 to 8 count as not turned.
TEST(OutputSize, turnedImagesAreLimitedCrosswiseAndSwappedOnlyWhenHardRotated) {
    test::freshSettings();
    test::TempDir dir;
    PelloraImage turned(pictureOfSize(dir, 4000, 3000, 6));
    expectSize(outputSizeWithin(turned, 1024, 1024), 768, 1024);
    expectSize(outputSizeWithin(turned, 0, 0), 3000, 4000);
    // A camera's portrait: stored landscape, upright 2000 x 3000.
    PelloraImage camera(pictureOfSize(dir, 3000, 2000, 6));
    expectSize(outputSizeWithin(camera, 1024, 768), 512, 768);
    test::setSetting(QVXDefaultsKey_hardRotate, false);
    expectSize(outputSizeWithin(turned, 1024, 1024), 1024, 768);
    expectSize(outputSizeWithin(turned, -1, 500), 4000, 3000);
    expectSize(outputSizeWithin(camera, 1024, 768), 768, 512);
    test::freshSettings();  // hard rotation back on
    PelloraImage nine(pictureOfSize(dir, 4000, 3000, 9));
    PelloraImage withoutTag(pictureOfSize(dir, 4000, 3000, "Ann"));
    ASSERT_EQ(orientationTagOf(withoutTag.inputMetadata()), 0);
    for (PelloraImage* record : {&nine, &withoutTag}) {
        expectSize(outputSizeWithin(*record, 1024, 1024), 1024, 768);
        expectSize(outputSizeWithin(*record, 1024, 768), 1024, 768);
        expectSize(outputSizeWithin(*record, 0, 0), 4000, 3000);
    }
}

// The fitted size, checked against what it must be rather than how it is
// computed: within the limits, one side at its limit, and the other the
// largest whole number that does not make the picture wider or taller than
// the source's proportions (at least 1).
bool isFittedProperly(PixelSize source, int maxWidth, int maxHeight, PixelSize fitted) {
    const std::uint64_t x = source.width, y = source.height, w = fitted.width, h = fitted.height;
    const auto W = static_cast<std::uint64_t>(maxWidth), H = static_cast<std::uint64_t>(maxHeight);
    if (x <= W && y <= H) return fitted == source;
    // `other` follows `limited` (now `limit`) from below.
    const auto followsFromBelow = [](std::uint64_t limited, std::uint64_t other, std::uint64_t limit,
                                     std::uint64_t result) {
        return result >= 1 && (result == 1 || result * limited <= other * limit) &&
               (result + 1) * limited > other * limit;
    };
    return w <= W && h <= H && w <= x && h <= y &&
           ((w == W && followsFromBelow(x, y, W, h)) || (h == H && followsFromBelow(y, x, H, w)));
}

TEST(OutputSize, fittingKeepsTheLimitedSideAtItsLimitForEverySideUpToTenThousand) {
    EXPECT_EQ(sizeFittedWithin({4000, 3000}, 1024, 768), (PixelSize{1024, 768}));
    EXPECT_EQ(sizeFittedWithin({4000, 6000}, 1024, 768), (PixelSize{512, 768}));
    EXPECT_EQ(sizeFittedWithin({0, 5000}, 800, 800), (PixelSize{0, 5000}));
    EXPECT_EQ(sizeFittedWithin({UINT32_MAX, UINT32_MAX - 1}, INT32_MAX, 1), (PixelSize{1, 1}));

    // Every side from 1 to 10,000 against a spread of other sides, both ways round.
    std::vector<std::uint32_t> others = {1, 2, 3, 767, 768, 769, 799, 800, 801, 1023, 1024, 1025,
                                         1079, 1080, 1081, 1919, 1920, 1921, 3391, 6028, 9999, 10000};
    for (std::uint32_t side = 5; side < 10000; side += 97) others.push_back(side);
    int failures = 0;
    for (const auto& [maxWidth, maxHeight] : {std::pair{1024, 768}, {1920, 1080}, {800, 800}}) {
        for (std::uint32_t side = 1; side <= 10000; ++side) {
            for (const std::uint32_t other : others) {
                for (const PixelSize source : {PixelSize{side, other}, PixelSize{other, side}}) {
                    const PixelSize fitted = sizeFittedWithin(source, maxWidth, maxHeight);
                    if (!isFittedProperly(source, maxWidth, maxHeight, fitted) && ++failures <= 5) {
                        ADD_FAILURE() << source.width << " x " << source.height << " in " << maxWidth << " x "
                                      << maxHeight << " gave " << fitted.width << " x " << fitted.height;
                    }
                }
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

// A percentage limits the upright sides; a small picture at a small percentage
// still gets limits of one pixel, never none (which would mean full size).
TEST(OutputSize, percentagesLimitToAtLeastOnePixel) {
    struct Case {
        Size upright;
        float percentage;
        PixelSize expected;
    };
    for (const Case& c : {Case{{3000, 2000}, 0.5f, {1500, 1000}},
                          Case{{6028, 3391}, 0.95f, {5725, 3221}},
                          Case{{30, 20}, 0.01f, {1, 1}},
                          Case{{10000, 3}, 0.1f, {1000, 1}},
                          Case{{300, 200}, 3.0f, {300, 200}},
                          Case{{300, 200}, std::numeric_limits<float>::quiet_NaN(), {1, 1}}}) {
        const PixelLimits limits = percentageLimits(c.upright, c.percentage);
        EXPECT_GE(std::min(limits.maxWidth, limits.maxHeight), 1);
        const PixelSize source{static_cast<std::uint32_t>(c.upright.width), static_cast<std::uint32_t>(c.upright.height)};
        EXPECT_EQ(sizeFittedWithin(source, limits.maxWidth, limits.maxHeight), c.expected)
            << c.upright.width << " x " << c.upright.height << " at " << c.percentage;
    }
}

} // namespace
} // namespace pellora
