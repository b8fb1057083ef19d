#include "model/FittedSize.h"

#include <algorithm>

namespace pellora {

PixelSize sizeFittedWithin(PixelSize picture, int maxWidth, int maxHeight) {
    if (maxWidth < 1 || maxHeight < 1 || picture.width == 0 || picture.height == 0) return picture;
    // Sides and limits are below 2^32: every product fits in 64 bits.
    const std::uint64_t x = picture.width;
    const std::uint64_t y = picture.height;
    const auto limitW = static_cast<std::uint64_t>(maxWidth);
    const auto limitH = static_cast<std::uint64_t>(maxHeight);
    if (x <= limitW && y <= limitH) return picture;
    // limitW / x <= limitH / y, compared without dividing. The quotients are
    // at most the limits, so they fit back into 32 bits.
    if (limitW * y <= limitH * x) {
        return PixelSize{static_cast<std::uint32_t>(limitW),
                         static_cast<std::uint32_t>(std::max<std::uint64_t>(1, y * limitW / x))};
    }
    return PixelSize{static_cast<std::uint32_t>(std::max<std::uint64_t>(1, x * limitH / y)),
                     static_cast<std::uint32_t>(limitH)};
}

} // namespace pellora
