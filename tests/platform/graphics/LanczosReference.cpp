#include "platform/graphics/LanczosReference.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "platform/graphics/GraphicsTestImages.h"

namespace pellora::test {
namespace {

double lanczos3(double x) {
    if (std::fabs(x) >= 3.0) return 0.0;
    if (x == 0.0) return 1.0;
    const double px = std::numbers::pi * x;
    return 3.0 * std::sin(px) * std::sin(px / 3.0) / (px * px);
}

// `along` is the distance between neighbours on the resized axis, `across` between lines.
std::vector<double> resizeAxis(const std::vector<double>& in, std::size_t inLength, std::size_t outLength,
                               std::size_t lines, std::size_t along, std::size_t across) {
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
            weights.push_back(lanczos3((double(x) + 0.5 - centre) / stretch));
            total += weights.back();
        }
        for (std::size_t line = 0; line < lines; ++line) {
            for (std::size_t c = 0; c < 3; ++c) {
                double sum = 0;
                for (std::size_t x = first; x < end; ++x) sum += weights[x - first] * in[line * across + x * along + c];
                out[(line * outLength + i) * 3 + c] = sum / total;
            }
        }
    }
    return out;
}

double psnrOf(std::uint32_t width, std::uint32_t height, const std::vector<double>& reference,
              const std::function<const std::uint8_t*(std::uint32_t, std::uint32_t)>& pixel) {
    double squared = 0;
    for (std::size_t i = 0; i < std::size_t(width) * height * 3; ++i) {
        const double expected = std::clamp(reference[i], 0.0, 255.0);
        const double error = pixel(std::uint32_t(i / 3 % width), std::uint32_t(i / 3 / width))[i % 3] - expected;
        squared += error * error;
    }
    const double mse = squared / (double(width) * height * 3);
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

std::vector<double> referenceResize(const DecodedImage& image, std::size_t outW, std::size_t outH) {
    const std::size_t w = image.width, h = image.height;
    const auto channels = std::size_t(image.channels());
    std::vector<double> source(w * h * 3);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = image.pixels[i / 3 / w * image.rowBytes + i / 3 % w * channels + i % 3];
    }
    // Horizontal: h lines of w samples -> h lines of outW, stored row by row.
    const std::vector<double> wide = resizeAxis(source, w, outW, h, 3, w * 3);
    // Vertical: outW lines (columns) of h samples -> columns of outH, stored column by column.
    const std::vector<double> tall = resizeAxis(wide, h, outH, outW, outW * 3, 3);
    std::vector<double> result(outW * outH * 3);
    for (std::size_t i = 0; i < result.size(); ++i) result[i] = tall[(i / 3 % outW * outH + i / 3 / outW) * 3 + i % 3];
    return result;
}

double psnr(const DecodedImage& drawn, const std::vector<double>& reference) {
    const auto channels = std::size_t(drawn.channels());
    return psnrOf(drawn.width, drawn.height, reference, [&](std::uint32_t x, std::uint32_t y) {
        return drawn.pixels.data() + y * drawn.rowBytes + x * channels;
    });
}

double psnr(const Bitmap& drawn, const std::vector<double>& reference) {
    return psnrOf(drawn.width, drawn.height, reference, [&](std::uint32_t x, std::uint32_t y) { return drawn.pixel(x, y); });
}

DecodedImage photographLike(std::uint32_t w, std::uint32_t h) {
    std::mt19937 random(1234);
    std::normal_distribution<double> grain(0.0, 12.0);
    return rgbImage(w, h, [&](std::uint32_t x, std::uint32_t y, std::uint8_t* rgb) {
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

DecodedImage zonePlate(std::uint32_t side) {
    const double centre = side / 2.0;
    const double cornerRadius = centre * std::numbers::sqrt2;
    const double k = std::numbers::pi / (2.0 * cornerRadius);
    return rgbImage(side, side, [&](std::uint32_t x, std::uint32_t y, std::uint8_t* rgb) {
        const double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
        const auto value = std::uint8_t(std::lround(127.5 + 127.5 * std::cos(k * (dx * dx + dy * dy))));
        rgb[0] = rgb[1] = rgb[2] = value;
    });
}

} // namespace pellora::test
