#include "platform/imageio/BitmapRows.h"

#include <algorithm>

namespace pellora {

void compositeRowOverWhite(const std::uint8_t* rgba, std::uint32_t width, std::uint8_t* rgb) {
    for (std::uint32_t x = 0; x < width; ++x, rgba += 4, rgb += 3) {
        const unsigned transparency = 255u - rgba[3];
        for (int c = 0; c < 3; ++c) rgb[c] = static_cast<std::uint8_t>(std::min(255u, rgba[c] + transparency));
    }
}

bool isOpaqueRows(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height, std::size_t rowBytes) {
    for (std::uint32_t y = 0; y < height; ++y, rgba += rowBytes) {
        // The alphas ANDed together, a whole row at a time (a loop the compiler vectorises).
        std::uint8_t alphas = 255;
        for (std::uint32_t x = 0; x < width; ++x) alphas &= rgba[std::size_t{x} * 4 + 3];
        if (alphas != 255) return false;
    }
    return true;
}

void unpremultiplyRow(const std::uint8_t* rgba, std::uint32_t width, std::uint8_t* straight) {
    for (std::uint32_t x = 0; x < width; ++x, rgba += 4, straight += 4) {
        const unsigned alpha = rgba[3];
        straight[3] = static_cast<std::uint8_t>(alpha);
        for (int c = 0; c < 3; ++c) {
            straight[c] =
                alpha == 0 ? 0 : static_cast<std::uint8_t>(std::min(255u, (rgba[c] * 255u + alpha / 2) / alpha));
        }
    }
}

} // namespace pellora
