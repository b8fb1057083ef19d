#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "platform/graphics/GraphicsTestImages.h"

namespace pellora {
namespace {

// A straightforward double-precision Lanczos-3 resize, written from the
// definition: each output sample centred at (i + 0.5) * in / out in source
// coordinates, the kernel stretched by the shrink factor, weights over the
// source samples inside the image normalised to 1.
double lanczos3Reference(double x) {
    if (std::fabs(x) >= 3.0) {
        return 0.0;
    }
    if (x == 0.0) {
        return 1.0;
    }
    const double px = std::numbers::pi * x;
    return 3.0 * std::sin(px) * std::sin(px / 3.0) / (px * px);
}

std::vector<double> resizeAxis(const std::vector<double>& in, std::size_t inLength, std::size_t outLength,
                               std::size_t lines, std::size_t along, std::size_t across) {
    // `along` is the distance between neighbours on the resized axis, `across` between lines.
    const double scale = double(inLength) / double(outLength);
    const double stretch = std::max(1.0, scale);
    std::vector<double> out(lines * outLength * 3);
    for (std::size_t i = 0; i < outLength; ++i) {
        const double centre = (double(i) + 0.5) * scale;
        const double reach = 3.0 * stretch + 1.0;
        const auto first = std::size_t(std::max(0.0, centre - reach));
        const auto end = std::min(inLength, std::size_t(centre + reach));
        std::vector<double> weights;
        double total = 0;
        for (std::size_t x = first; x < end; ++x) {
            weights.push_back(lanczos3Reference((double(x) + 0.5 - centre) / stretch));
            total += weights.back();
        }
        for (std::size_t line = 0; line < lines; ++line) {
            for (std::size_t c = 0; c < 3; ++c) {
                double sum = 0;
                for (std::size_t x = first; x < end; ++x) {
                    sum += weights[x - first] * in[line * across + x * along + c];
                }
                out[(line * outLength + i) * 3 + c] = sum / total;
            }
        }
    }
    return out;
}

// Reference resize of an RGB image to outW x outH, rows top first, unrounded.
std::vector<double> referenceResize(const DecodedImage& image, std::size_t outW, std::size_t outH) {
    const std::size_t w = image.width, h = image.height;
    std::vector<double> source(image.pixels.begin(), image.pixels.end());
    // Horizontal: h lines of w samples -> h lines of outW, stored row by row.
    const std::vector<double> wide = resizeAxis(source, w, outW, h, 3, w * 3);
    // Vertical: outW lines (columns) of h samples -> columns of outH, stored column by column.
    const std::vector<double> tall = resizeAxis(wide, h, outH, outW, outW * 3, 3);
    std::vector<double> result(outW * outH * 3);
    for (std::size_t x = 0; x < outW; ++x) {
        for (std::size_t y = 0; y < outH; ++y) {
            for (std::size_t c = 0; c < 3; ++c) {
                result[(y * outW + x) * 3 + c] = tall[(x * outH + y) * 3 + c];
            }
        }
    }
    return result;
}

double psnr(const Bitmap& drawn, const std::vector<double>& reference) {
    double squared = 0;
    for (std::uint32_t y = 0; y < drawn.height; ++y) {
        for (std::uint32_t x = 0; x < drawn.width; ++x) {
            for (std::uint32_t c = 0; c < 3; ++c) {
                const double expected = std::clamp(reference[(y * drawn.width + x) * 3 + c], 0.0, 255.0);
                const double error = drawn.pixel(x, y)[c] - expected;
                squared += error * error;
            }
        }
    }
    const double mse = squared / (double(drawn.width) * drawn.height * 3);
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Photograph-like content: smooth gradients, fine noisy texture and hard edges.
DecodedImage photographLike(std::uint32_t w, std::uint32_t h) {
    std::mt19937 random(1234);
    std::normal_distribution<double> grain(0.0, 12.0);
    return test::rgbImage(w, h, [&](std::uint32_t x, std::uint32_t y, std::uint8_t* rgb) {
        const double u = double(x) / w, v = double(y) / h;
        double r = 128 + 90 * std::sin(3.1 * u + 1.3 * v);
        double g = 100 + 80 * std::cos(2.3 * v - 1.7 * u * u);
        double b = 60 + 150 * u * v;
        const double dx = u - 0.6, dy = v - 0.4;
        if (dx * dx + dy * dy < 0.04) {  // a bright disc with a hard rim
            r = 240, g = 230, b = 200;
        }
        if (x > w / 8 && x < w / 3 && y > h / 2 && y < h * 7 / 8) {  // a dark block
            r *= 0.2, g *= 0.2, b *= 0.3;
        }
        const double fine = 20 * std::sin(x * 1.9) * std::sin(y * 2.3);  // texture near Nyquist
        const double n = grain(random);
        rgb[0] = std::uint8_t(std::clamp(r + fine + n, 0.0, 255.0) + 0.5);
        rgb[1] = std::uint8_t(std::clamp(g + fine + n, 0.0, 255.0) + 0.5);
        rgb[2] = std::uint8_t(std::clamp(b - fine + n, 0.0, 255.0) + 0.5);
    });
}

// Concentric rings whose frequency rises to Nyquist at the corners.
DecodedImage zonePlate(std::uint32_t side) {
    const double centre = side / 2.0;
    const double cornerRadius = centre * std::numbers::sqrt2;
    const double k = std::numbers::pi / (2.0 * cornerRadius);
    return test::rgbImage(side, side, [&](std::uint32_t x, std::uint32_t y, std::uint8_t* rgb) {
        const double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
        const auto value = std::uint8_t(std::lround(127.5 + 127.5 * std::cos(k * (dx * dx + dy * dy))));
        rgb[0] = rgb[1] = rgb[2] = value;
    });
}

Bitmap resize(const DecodedImage& image, std::uint32_t outW, std::uint32_t outH) {
    return test::drawIntoBitmap(image, outW, outH, makeRect(0, 0, float(outW), float(outH)));
}

TEST(ResamplingQuality, photographShrunkByOneAndAHalfToEightMatchesTheReference) {
    const DecodedImage photo = photographLike(480, 360);
    for (const double factor : {1.5, 2.0, 3.0, 4.5, 6.0, 8.0}) {
        SCOPED_TRACE(factor);
        const auto outW = std::uint32_t(480 / factor), outH = std::uint32_t(360 / factor);
        EXPECT_GE(psnr(resize(photo, outW, outH), referenceResize(photo, outW, outH)), 45.0);
    }
}

TEST(ResamplingQuality, zonePlateShrunkByFiveDoesNotAlias) {
    const DecodedImage plate = zonePlate(500);
    EXPECT_GE(psnr(resize(plate, 100, 100), referenceResize(plate, 100, 100)), 30.0);
}

TEST(ResamplingQuality, enlargingInterpolatesWithTheSameKernel) {
    const DecodedImage photo = photographLike(60, 45);
    EXPECT_GE(psnr(resize(photo, 150, 101), referenceResize(photo, 150, 101)), 45.0);
}

TEST(ResamplingQuality, constantImagesKeepTheirValueExactly) {
    for (const bool alpha : {false, true}) {
        std::vector<std::uint8_t> samples;
        for (int i = 0; i < 90 * 70; ++i) {
            samples.insert(samples.end(), {201, 37, 0});
            if (alpha) {
                samples.push_back(77);
            }
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
        for (std::uint32_t x = 0; x < 23; ++x) {
            ASSERT_EQ(out.pixel(x, 0)[3], 0) << "height " << h;
            for (std::uint32_t y = 1; y <= h; ++y) {
                ASSERT_EQ(out.pixel(x, y)[3], 255) << "height " << h << " at " << x << "," << y;
            }
        }
    }
}

} // namespace
} // namespace pellora
