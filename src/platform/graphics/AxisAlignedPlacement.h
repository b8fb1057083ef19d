#pragma once

#include <cstdint>
#include <optional>

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Geometry.h"

namespace pellora {

// Where an image drawn into a rectangle under a transform lands in a bitmap,
// when the transform is made only of mirrors, quarter turns, scaling and
// whole-pixel translation. The image is first resized, in its own orientation,
// to outWidth x outHeight; output pixel (column i, row j) then goes to the
// bitmap pixel (x, y), rows counted from the top of the bitmap:
//   x = startX + i * columnStepX + j * rowStepX
//   y = startY + i * columnStepY + j * rowStepY
// Each step is -1, 0 or 1, and exactly one of a pair's steps is non-zero.
struct AxisAlignedPlacement {
    std::uint32_t outWidth = 0;
    std::uint32_t outHeight = 0;
    std::int64_t startX = 0, startY = 0;
    int columnStepX = 1, columnStepY = 0;
    int rowStepX = 0, rowStepY = 1;
    // The output pixels that fall inside the bitmap (half-open; empty when none do).
    std::uint32_t columnBegin = 0, columnEnd = 0;
    std::uint32_t rowBegin = 0, rowEnd = 0;

    // Empty when the transform turns by other than quarter turns, shears, or
    // puts the rectangle's corners off the pixel grid.
    static std::optional<AxisAlignedPlacement> compute(const AffineTransform& ctm, const Rect& rect,
                                                       std::uint32_t bitmapWidth, std::uint32_t bitmapHeight);

    bool isEmpty() const { return columnBegin >= columnEnd || rowBegin >= rowEnd; }
};

} // namespace pellora
