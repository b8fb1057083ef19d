#pragma once

#include <cstdint>
#include <vector>

#include "platform/imageio/Image.h"

namespace pellora {

// An image that owns its pixels: 8-bit RGBA, premultiplied alpha last, sRGB,
// rows top first. What a bitmap context hands back as its image.
struct Bitmap {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t rowBytes = 0;
    std::vector<std::uint8_t> pixels;

    RgbaBitmapView view() const { return RgbaBitmapView{pixels.data(), width, height, rowBytes}; }
    const std::uint8_t* pixel(std::uint32_t x, std::uint32_t y) const { return pixels.data() + y * rowBytes + x * 4; }
};

} // namespace pellora
