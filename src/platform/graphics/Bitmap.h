#pragma once

#include <cstdint>
#include <exception>
#include <optional>
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

    // A transparent bitmap with packed rows, its byte count computed in whole
    // numbers; nullopt when that count overflows or cannot be allocated.
    static std::optional<Bitmap> cleared(std::uint32_t width, std::uint32_t height) {
        Bitmap bitmap{width, height, std::size_t{width} * 4, {}};
        std::size_t byteCount = 0;
        if (__builtin_mul_overflow(bitmap.rowBytes, std::size_t{height}, &byteCount)) return std::nullopt;
        try {
            bitmap.pixels.assign(byteCount, 0);
        } catch (const std::exception&) {
            return std::nullopt;
        }
        return bitmap;
    }

    RgbaBitmapView view() const { return RgbaBitmapView{pixels.data(), width, height, rowBytes, pixels.size()}; }
    const std::uint8_t* pixel(std::uint32_t x, std::uint32_t y) const { return pixels.data() + y * rowBytes + x * 4; }
};

} // namespace pellora
