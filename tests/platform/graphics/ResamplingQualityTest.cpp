#include <gtest/gtest.h>

#include "platform/graphics/GraphicsTestImages.h"
#include "platform/graphics/LanczosReference.h"

namespace pellora {
namespace {

using test::photographLike;
using test::psnr;
using test::referenceResize;

Bitmap resize(const DecodedImage& image, std::uint32_t outW, std::uint32_t outH) {
    return test::drawIntoBitmap(image, outW, outH, makeRect(0, 0, float(outW), float(outH)));
}

// Shrinking a photograph by 1.5 to 8 and a zone plate by 5 is checked against
// the same reference through the whole pipeline (model/PipelineQualityTest).
TEST(ResamplingQuality, enlargingInterpolatesWithTheSameKernel) {
    const DecodedImage photo = photographLike(60, 45);
    EXPECT_GE(psnr(resize(photo, 150, 101), referenceResize(photo, 150, 101)), 45.0);
}

TEST(ResamplingQuality, constantImagesKeepTheirValueExactly) {
    for (const bool alpha : {false, true}) {
        std::vector<std::uint8_t> samples;
        for (int i = 0; i < 90 * 70; ++i) {
            samples.insert(samples.end(), {201, 37, 0});
            if (alpha) samples.push_back(77);
        }
        const DecodedImage flat = test::imageFromBytes(90, 70, ColorModel::RGB, alpha, samples);
        const std::vector<int> expected = alpha ? std::vector<int>{61, 11, 0, 77} : std::vector<int>{201, 37, 0, 255};
        for (const auto& [w, h] : {std::pair{90u, 70u}, {41u, 9u}, {1u, 1u}, {7u, 70u}, {200u, 131u}}) {
            const Bitmap out = resize(flat, w, h);
            for (std::size_t i = 0; i < out.pixels.size(); i += 4) {
                ASSERT_EQ(std::vector<int>(out.pixels.begin() + long(i), out.pixels.begin() + long(i) + 4), expected)
                    << w << "x" << h << " alpha " << alpha;
            }
        }
    }
}

TEST(ResamplingQuality, everyOutputHeightFromTheInputsDownToOneCoversExactlyThoseRows) {
    const DecodedImage photo = photographLike(23, 60);
    for (std::uint32_t h = 60; h >= 1; --h) {
        // One spare row above the rectangle must stay untouched.
        const Bitmap out = test::drawIntoBitmap(photo, 23, h + 1, makeRect(0, 0, 23, float(h)));
        for (std::uint32_t i = 0; i < 23 * (h + 1); ++i) {
            const std::uint32_t x = i % 23, y = i / 23;
            ASSERT_EQ(out.pixel(x, y)[3], y == 0 ? 0 : 255) << "height " << h << " at " << x << "," << y;
        }
    }
}

} // namespace
} // namespace pellora
