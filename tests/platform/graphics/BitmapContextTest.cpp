#include <gtest/gtest.h>

#include "platform/graphics/GraphicsTestImages.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using test::drawIntoBitmap;

TEST(BitmapContext, savedStateComesBackAndAnUnmatchedRestoreIsIgnored) {
    std::vector<std::uint8_t> buffer(16 * 4);
    auto context = BitmapContext::create(buffer.data(), buffer.size(), 4, 4, 16);
    context->saveGState();
    context->translate(0, 4);
    context->scale(1, -1);
    EXPECT_NE(context->ctm(), AffineTransform::identity());
    context->restoreGState();
    EXPECT_EQ(context->ctm(), AffineTransform::identity());

    test::LogCapture log;
    context->restoreGState();
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(context->ctm(), AffineTransform::identity());
}

TEST(BitmapContext, aRectangleReachingPastTheBitmapIsClipped) {
    const DecodedImage stored = test::distinctPixels(5, 3);
    // Shifted one pixel left and one down: stored column 0 and the bottom row fall outside.
    const Bitmap drawn = drawIntoBitmap(stored, 5, 3, makeRect(-1, -1, 5, 3));
    for (std::uint32_t i = 0; i < 5 * 3; ++i) {
        const std::uint32_t x = i % 5, y = i / 5;
        const std::uint8_t* p = drawn.pixel(x, y);
        if (x == 4 || y == 0) {
            EXPECT_EQ(p[3], 0) << x << "," << y;  // not covered
        } else {
            EXPECT_EQ(0, std::memcmp(p, &stored.pixels[((y - 1) * 5 + x + 1) * 3], 3)) << x << "," << y;
        }
    }
}

TEST(BitmapContext, transformsOffTheQuarterTurnsOrThePixelGridAreRefused) {
    const DecodedImage stored = test::distinctPixels(5, 3);
    std::vector<std::uint8_t> buffer(5 * 3 * 4, 0);
    auto context = BitmapContext::create(buffer.data(), buffer.size(), 5, 3, 20);
    test::LogCapture log;

    for (const auto& [turn, squash, left] : {std::tuple{0.5f, 1.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.5f}}) {
        context->saveGState();
        context->rotate(turn);
        context->scale(1.0f, squash);
        EXPECT_FALSE(context->drawImage(makeRect(left, 0, 5, 3), stored));
        context->restoreGState();
    }

    EXPECT_EQ(log.lines().size(), 3u);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(5 * 3 * 4, 0));
}

TEST(BitmapContext, badArgumentsMakeNoContextAndDrawNothing) {
    std::vector<std::uint8_t> buffer(64);
    EXPECT_EQ(BitmapContext::create(nullptr, 64, 4, 4, 16), nullptr);
    EXPECT_EQ(BitmapContext::create(buffer.data(), 64, 0, 4, 16), nullptr);
    EXPECT_EQ(BitmapContext::create(buffer.data(), 64, 5, 4, 16), nullptr);
    // A buffer one byte short of rowBytes * height, and sizes whose product wraps around.
    EXPECT_EQ(BitmapContext::create(buffer.data(), 63, 4, 4, 16), nullptr);
    EXPECT_EQ(BitmapContext::create(buffer.data(), 64, 4, 4, (SIZE_MAX / 4) + 16), nullptr);

    auto context = BitmapContext::create(buffer.data(), buffer.size(), 4, 4, 16);
    DecodedImage lying = test::distinctPixels(5, 3);
    lying.height = 4;  // one row more than the pixel data holds
    test::LogCapture log;
    EXPECT_FALSE(context->drawImage(makeRect(0, 0, 4, 4), lying));
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(64, 0));
}

} // namespace
} // namespace pellora
