#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/graphics/BitmapContext.h"
#include "platform/imageio/Image.h"

namespace pellora::test {

// Decoded images built in memory, rows packed.
inline DecodedImage imageFromBytes(std::uint32_t width, std::uint32_t height, ColorModel model, bool alpha,
                                   std::vector<std::uint8_t> samples) {
    DecodedImage image;
    image.width = width;
    image.height = height;
    image.colorModel = model;
    image.hasAlpha = alpha;
    image.sampleFormat = SampleFormat::UInt8;
    image.rowBytes = std::size_t(width) * std::size_t(image.channels());
    image.pixels = std::move(samples);
    return image;
}

// The same from 16-bit or float samples.
template <typename Sample>
DecodedImage imageFromSamples(std::uint32_t width, std::uint32_t height, ColorModel model, bool alpha,
                              const std::vector<Sample>& samples) {
    DecodedImage image = imageFromBytes(width, height, model, alpha, {});
    image.sampleFormat = sizeof(Sample) == 2 ? SampleFormat::UInt16 : SampleFormat::Float32;
    image.rowBytes *= sizeof(Sample);
    image.pixels.resize(samples.size() * sizeof(Sample));
    std::memcpy(image.pixels.data(), samples.data(), image.pixels.size());
    return image;
}

// An RGB image whose pixel (x, y), y from the top, is given by `colour`.
inline DecodedImage rgbImage(std::uint32_t width, std::uint32_t height,
                             const std::function<void(std::uint32_t x, std::uint32_t y, std::uint8_t* rgb)>& colour) {
    std::vector<std::uint8_t> samples(std::size_t(width) * height * 3);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) colour(x, y, &samples[(std::size_t(y) * width + x) * 3]);
    }
    return imageFromBytes(width, height, ColorModel::RGB, false, std::move(samples));
}

// Every pixel distinct: red from x, green from y, blue from both.
inline DecodedImage distinctPixels(std::uint32_t width, std::uint32_t height) {
    return rgbImage(width, height, [](std::uint32_t x, std::uint32_t y, std::uint8_t* rgb) {
        rgb[0] = std::uint8_t(x * 40 + 10), rgb[1] = std::uint8_t(y * 50 + 20), rgb[2] = std::uint8_t(x * 7 + y * 13);
    });
}

// Draws `image` into `rect` of a cleared width x height bitmap, after `setup`
// has set the context's transform; returns the bitmap's pixels.
inline Bitmap drawIntoBitmap(const DecodedImage& image, std::uint32_t width, std::uint32_t height, const Rect& rect,
                             const std::function<void(BitmapContext&)>& setup = {}) {
    std::vector<std::uint8_t> buffer(std::size_t(width) * height * 4, 0);
    auto context = BitmapContext::create(buffer.data(), buffer.size(), width, height, std::size_t(width) * 4);
    if (setup) setup(*context);
    context->drawImage(rect, image);
    return context->createImage();
}

} // namespace pellora::test
