#include <gtest/gtest.h>

#include "platform/graphics/GraphicsTestImages.h"

namespace pellora {
namespace {

// Left half transparent with a stored red colour, right half opaque blue.
DecodedImage halfTransparent(std::uint32_t w, std::uint32_t h) {
    std::vector<std::uint8_t> samples;
    for (std::uint32_t i = 0; i < w * h; ++i) {
        const std::uint8_t right = i % w < w / 2 ? 0 : 255;
        samples.insert(samples.end(), {std::uint8_t(255 - right), 0, right, right});
    }
    return test::imageFromBytes(w, h, ColorModel::RGB, true, samples);
}

TEST(AlphaDrawing, theEdgeOfATransparentRegionNeitherDarkensNorBleeds) {
    const DecodedImage image = halfTransparent(64, 8);
    for (const std::uint32_t outW : {64u, 27u, 9u, 150u}) {
        SCOPED_TRACE(outW);
        const Bitmap out = test::drawIntoBitmap(image, outW, 4, makeRect(0, 0, float(outW), 4));
        bool sawEdge = false;
        for (std::uint32_t x = 0; x < outW; ++x) {
            const std::uint8_t* p = out.pixel(x, 2);
            EXPECT_EQ(p[0] + p[1], 0) << x;  // the hidden red never shows
            EXPECT_LE(p[2], p[3]) << x;
            // Un-premultiplied, the blue stays full strength up to rounding.
            if (p[3] >= 32) {
                EXPECT_GE(p[2] * 255.0 / p[3], 245.0) << x;
            }
            sawEdge = sawEdge || (p[3] > 0 && p[3] < 255);
        }
        if (outW != 64) {
            EXPECT_TRUE(sawEdge);
        }
    }
}

TEST(AlphaDrawing, translucentPixelsArePremultipliedAndCompositedOver) {
    const DecodedImage image = test::imageFromBytes(2, 1, ColorModel::RGB, true, {200, 100, 50, 128, 9, 9, 9, 0});
    std::vector<std::uint8_t> buffer = {0, 0, 255, 255, 10, 20, 30, 255};
    auto context = BitmapContext::create(buffer.data(), buffer.size(), 2, 1, 8);
    ASSERT_TRUE(context->drawImage(makeRect(0, 0, 2, 1), image));
    // round(200 * 128 / 255) = 100 ...; over opaque blue: 25 + round(255 * 127 / 255) = 152.
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{100, 50, 152, 255, 10, 20, 30, 255}));

    std::vector<std::uint8_t> cleared(8, 0);
    context = BitmapContext::create(cleared.data(), cleared.size(), 2, 1, 8);
    ASSERT_TRUE(context->drawImage(makeRect(0, 0, 2, 1), image));
    EXPECT_EQ(cleared, (std::vector<std::uint8_t>{100, 50, 25, 128, 0, 0, 0, 0}));
}

} // namespace
} // namespace pellora
