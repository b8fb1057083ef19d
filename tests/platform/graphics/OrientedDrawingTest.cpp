#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>

#include "platform/graphics/GraphicsTestImages.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using test::drawIntoBitmap;

const float kQuarterTurn = std::bit_cast<float>(0x3FC90FDBu);
const float kMinusQuarterTurn = std::bit_cast<float>(0xBFC90FDBu);

// The transform steps that turn a stored image upright for each TIFF
// orientation tag, for an upright output of w x h; returns the rectangle to
// draw the stored image into.
Rect orient(BitmapContext& context, int tag, float w, float h) {
    switch (tag) {
    case 2: context.scale(-1, 1); context.translate(-w, 0); break;
    case 3: context.scale(-1, -1); context.translate(-w, -h); break;
    case 4: context.scale(1, -1); context.translate(0, -h); break;
    case 5:
        context.translate(0, h); context.scale(1, -1); context.rotate(kQuarterTurn); context.translate(0, -w);
        break;
    case 6:
        context.translate(0, h); context.scale(1, -1); context.rotate(kQuarterTurn); context.translate(0, -w);
        context.scale(1, -1); context.translate(0, -w);
        break;
    case 7:
        context.translate(0, h); context.scale(1, -1); context.rotate(kMinusQuarterTurn); context.translate(-h, 0);
        break;
    case 8:
        context.translate(0, h); context.scale(1, -1); context.rotate(kMinusQuarterTurn); context.translate(-h, 0);
        context.scale(1, -1); context.translate(0, -w);
        break;
    default: break;
    }
    return tag >= 5 ? makeRect(0, 0, h, w) : makeRect(0, 0, w, h);
}

// Where the displayed pixel (x, y) of an upright image comes from in the
// stored w x h image, as the TIFF orientation tags define it.
std::array<std::uint32_t, 2> storedPixelShownAt(int tag, std::uint32_t x, std::uint32_t y, std::uint32_t w,
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

// Every pixel distinct: red from x, green from y, blue from both.
DecodedImage distinctPixels(std::uint32_t w, std::uint32_t h) {
    return test::rgbImage(w, h, [](std::uint32_t x, std::uint32_t y, std::uint8_t* rgb) {
        rgb[0] = std::uint8_t(x * 40 + 10);
        rgb[1] = std::uint8_t(y * 50 + 20);
        rgb[2] = std::uint8_t(x * 7 + y * 13);
    });
}

// Smooth, detailed content for resampled comparisons.
DecodedImage texturedPixels(std::uint32_t w, std::uint32_t h) {
    return test::rgbImage(w, h, [w](std::uint32_t x, std::uint32_t y, std::uint8_t* rgb) {
        rgb[0] = std::uint8_t((x * 37 + y * 11) % 256);
        rgb[1] = std::uint8_t((x * x + 3 * y * y) % 251);
        rgb[2] = std::uint8_t(x < w / 3 ? 30 : 220);
    });
}

// At full size every displayed pixel is the stored one the tag names; shrunk
// (by unequal factors on the two axes), the result is the upright shrink turned exactly.
TEST(OrientedDrawing, everyTagGivesTheTiffDisplayOrientationAtFullSizeAndShrunk) {
    const DecodedImage distinct = distinctPixels(5, 3);
    const DecodedImage textured = texturedPixels(40, 30);
    const Bitmap uprightShrink = drawIntoBitmap(textured, 17, 11, makeRect(0, 0, 17, 11));
    for (int tag = 1; tag <= 8; ++tag) {
        for (const bool shrunk : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "tag " << tag << (shrunk ? " shrunk" : " full size"));
            const DecodedImage& stored = shrunk ? textured : distinct;
            const std::uint32_t w = shrunk ? 17 : 5, h = shrunk ? 11 : 3;
            const std::uint32_t outW = tag >= 5 ? h : w, outH = tag >= 5 ? w : h;
            const Bitmap drawn = drawIntoBitmap(stored, outW, outH, {}, [&](BitmapContext& c) {
                c.drawImage(orient(c, tag, float(outW), float(outH)), stored);
            });
            for (std::uint32_t i = 0; i < outW * outH; ++i) {
                const std::uint32_t x = i % outW, y = i / outW;
                const auto [sx, sy] = storedPixelShownAt(tag, x, y, w, h);
                const std::uint8_t* p = &stored.pixels[(sy * w + sx) * 3];
                const std::vector<int> expected =
                    shrunk ? std::vector<int>(uprightShrink.pixel(sx, sy), uprightShrink.pixel(sx, sy) + 4)
                           : std::vector<int>{p[0], p[1], p[2], 255};
                ASSERT_EQ(std::vector<int>(drawn.pixel(x, y), drawn.pixel(x, y) + 4), expected) << "at " << x << "," << y;
            }
        }
    }
}

TEST(OrientedDrawing, savedStateComesBackAndAnUnmatchedRestoreIsIgnored) {
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

TEST(OrientedDrawing, aRectangleReachingPastTheBitmapIsClipped) {
    const DecodedImage stored = distinctPixels(5, 3);
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

TEST(OrientedDrawing, transformsOffTheQuarterTurnsOrThePixelGridAreRefused) {
    const DecodedImage stored = distinctPixels(5, 3);
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

TEST(OrientedDrawing, badArgumentsMakeNoContextAndDrawNothing) {
    std::vector<std::uint8_t> buffer(64);
    EXPECT_EQ(BitmapContext::create(nullptr, 64, 4, 4, 16), nullptr);
    EXPECT_EQ(BitmapContext::create(buffer.data(), 64, 0, 4, 16), nullptr);
    EXPECT_EQ(BitmapContext::create(buffer.data(), 64, 5, 4, 16), nullptr);
    // A buffer one byte short of rowBytes * height, and sizes whose product wraps around.
    EXPECT_EQ(BitmapContext::create(buffer.data(), 63, 4, 4, 16), nullptr);
    EXPECT_EQ(BitmapContext::create(buffer.data(), 64, 4, 4, (SIZE_MAX / 4) + 16), nullptr);

    auto context = BitmapContext::create(buffer.data(), buffer.size(), 4, 4, 16);
    DecodedImage lying = distinctPixels(5, 3);
    lying.height = 4;  // one row more than the pixel data holds
    test::LogCapture log;
    EXPECT_FALSE(context->drawImage(makeRect(0, 0, 4, 4), lying));
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(64, 0));
}

} // namespace
} // namespace pellora
