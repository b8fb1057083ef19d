#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "platform/graphics/GraphicsTestImages.h"
#include "support/TestProfiles.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using Pixels = std::vector<std::vector<int>>;

// The premultiplied RGBA of each pixel of a one-row image drawn at 1:1.
Pixels drawnRow(const DecodedImage& image) {
    const Bitmap out = test::drawIntoBitmap(image, image.width, 1, makeRect(0, 0, float(image.width), 1));
    Pixels pixels;
    for (std::uint32_t x = 0; x < image.width; ++x) pixels.emplace_back(out.pixel(x, 0), out.pixel(x, 0) + 4);
    return pixels;
}

void expectNear(const Pixels& actual, const Pixels& expected, int tolerance) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size() * 4; ++i) {
        EXPECT_NEAR(actual[i / 4][i % 4], expected[i / 4][i % 4], tolerance) << "pixel " << i / 4 << " channel " << i % 4;
    }
}

// What an Adobe RGB value is in sRGB, through XYZ with the published
// matrices of both spaces (same white, so no adaptation).
std::vector<int> wideToSrgb(int r, int g, int b) {
    const double adobeToXyz[3][3] = {{0.5767, 0.1856, 0.1882}, {0.2974, 0.6273, 0.0753}, {0.0270, 0.0707, 0.9911}};
    const double xyzToSrgb[3][3] = {{3.2406, -1.5372, -0.4986}, {-0.9689, 1.8758, 0.0415}, {0.0557, -0.2040, 1.0570}};
    const double linear[3] = {std::pow(r / 255.0, 2.2), std::pow(g / 255.0, 2.2), std::pow(b / 255.0, 2.2)};
    double xyz[3] = {0, 0, 0};
    for (int i = 0; i < 9; ++i) xyz[i / 3] += adobeToXyz[i / 3][i % 3] * linear[i % 3];
    std::vector<int> rgba;
    for (int row = 0; row < 3; ++row) {
        const double v = std::clamp(xyzToSrgb[row][0] * xyz[0] + xyzToSrgb[row][1] * xyz[1] + xyzToSrgb[row][2] * xyz[2],
                                    0.0, 1.0);
        const double encoded = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
        rgba.push_back(int(std::lround(255 * encoded)));
    }
    rgba.push_back(255);
    return rgba;
}

// Grey is replicated and its alpha premultiplied; 16-bit samples round to the
// nearest byte; float samples are clamped and rounded.
TEST(ColorConversion, untaggedSamplesOfEveryFormatBecomePremultipliedBytes) {
    expectNear(drawnRow(test::imageFromBytes(3, 1, ColorModel::Gray, false, {0, 77, 255})),
               {{0, 0, 0, 255}, {77, 77, 77, 255}, {255, 255, 255, 255}}, 0);
    expectNear(drawnRow(test::imageFromBytes(2, 1, ColorModel::Gray, true, {200, 51, 90, 0})),
               {{40, 40, 40, 51}, {0, 0, 0, 0}}, 0);
    // 25828 is just below 100.5 / 255 of full scale, 25829 just above.
    expectNear(drawnRow(test::imageFromSamples<std::uint16_t>(2, 1, ColorModel::RGB, true,
                                                              {0, 25828, 25829, 65535, 65535, 32768, 257, 65535})),
               {{0, 100, 101, 255}, {255, 128, 1, 255}}, 0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    expectNear(drawnRow(test::imageFromSamples<float>(2, 1, ColorModel::RGB, false, {0.5f, -0.2f, 1.7f, 0.2f, nan, 1.0f})),
               {{128, 0, 255, 255}, {51, 0, 255, 255}}, 0);
}

// CMYK inks drawn as stored and as Adobe files store them (inverted):
// converted naively when untagged, through the profile when tagged.
TEST(ColorConversion, cmykIsConvertedNaivelyOrThroughItsProfile) {
    const struct {
        std::vector<std::uint8_t> inks, profile;
        Pixels expected;
        int tolerance;
    } cases[] = {
        {{0, 0, 0, 0, 255, 0, 0, 0, 100, 0, 0, 50, 0, 0, 0, 255}, {},
         {{255, 255, 255, 255}, {0, 255, 255, 255}, {125, 205, 205, 255}, {0, 0, 0, 255}}, 0},
        {{0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 255, 0, 0, 0, 0, 255}, test::cmykPressProfile(),
         {test::pressRgba(0, 0, 0, 0), test::pressRgba(1, 0, 0, 0), test::pressRgba(0, 1, 1, 0), test::pressRgba(0, 0, 0, 1)}, 2},
    };
    for (const auto& c : cases) {
        for (const bool inverted : {false, true}) {
            SCOPED_TRACE(std::string(c.profile.empty() ? "untagged" : "tagged") + (inverted ? ", inverted" : ", as ink"));
            std::vector<std::uint8_t> stored = c.inks;
            for (auto& v : stored) v = inverted ? std::uint8_t(255 - v) : v;
            DecodedImage image = test::imageFromBytes(std::uint32_t(stored.size() / 4), 1, ColorModel::CMYK, false, stored);
            image.iccProfile = c.profile;
            image.cmykInverted = inverted;
            expectNear(drawnRow(image), c.expected, c.tolerance);
        }
    }
}

TEST(ColorConversion, anSrgbProfileKeepsTheValuesInEverySampleFormat) {
    std::vector<DecodedImage> images{
        test::imageFromBytes(2, 1, ColorModel::RGB, true, {10, 128, 250, 255, 200, 100, 50, 128}),
        test::imageFromSamples<std::uint16_t>(2, 1, ColorModel::RGB, true,
                                              {2570, 32896, 64250, 65535, 51400, 25700, 12850, 32896}),
        test::imageFromSamples<float>(2, 1, ColorModel::RGB, true, {10 / 255.f, 128 / 255.f, 250 / 255.f, 1.f,
                                                                    200 / 255.f, 100 / 255.f, 50 / 255.f, 128 / 255.f})};
    for (DecodedImage& image : images) {
        image.iccProfile = test::srgbIccProfile();
        expectNear(drawnRow(image), {{10, 128, 250, 255}, {100, 50, 25, 128}}, 1);
    }
}

// Threads share the profile's transform and get the same pixels.
TEST(ColorConversion, aWideGamutProfileIsConvertedIntoSrgbOnEveryThread) {
    DecodedImage image = test::imageFromBytes(3, 1, ColorModel::RGB, false, {150, 120, 100, 128, 128, 128, 90, 160, 110});
    image.iccProfile = test::wideGamutProfile();
    const Pixels drawn = drawnRow(image);
    expectNear(drawn, {wideToSrgb(150, 120, 100), wideToSrgb(128, 128, 128), wideToSrgb(90, 160, 110)}, 2);
    // The wider green primary makes greens more saturated in sRGB.
    EXPECT_GT(drawn[2][1] - drawn[2][0], 160 - 90 + 10);
    EXPECT_EQ(drawn[1][0], drawn[1][2]);

    std::vector<Pixels> results(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int run = 0; run < 20; ++run) results[t] = drawnRow(image);
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(results, std::vector<Pixels>(results.size(), drawn));
}

TEST(ColorConversion, anUnusableProfileIsLoggedAndTheImageTreatedAsUntagged) {
    DecodedImage junk = test::imageFromBytes(1, 1, ColorModel::RGB, false, {10, 128, 250});
    junk.iccProfile = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'I', 'C', 'C'};
    DecodedImage mismatched = test::imageFromBytes(1, 1, ColorModel::Gray, false, {77});
    mismatched.iccProfile = test::srgbIccProfile();

    test::LogCapture log;
    expectNear(drawnRow(junk), {{10, 128, 250, 255}}, 0);
    expectNear(drawnRow(mismatched), {{77, 77, 77, 255}}, 0);
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_TRUE(log.contains("cannot be read"));
    EXPECT_TRUE(log.contains("does not match"));
}

} // namespace
} // namespace pellora
