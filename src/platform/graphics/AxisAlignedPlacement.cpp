#include "platform/graphics/AxisAlignedPlacement.h"

#include <algorithm>
#include <cmath>

namespace pellora {

namespace {

// The largest output side accepted; far beyond any real bitmap, small enough
// that every index below fits its type.
constexpr double kMaxSide = double(1 << 28);

// A single-precision quarter turn leaves cosines of about 4e-8 in the matrix.
constexpr double kSnapRelative = 1e-6;

// Corners within this distance of the pixel grid count as on it: float
// rounding of the transform's steps leaves a few thousandths at most.
constexpr double kGridTolerance = 1e-2;

struct Vector {
    double x;
    double y;
};

std::optional<std::int64_t> onGrid(double value) {
    if (!std::isfinite(value) || std::fabs(value) > kMaxSide) {
        return std::nullopt;
    }
    const double rounded = std::round(value);
    if (std::fabs(value - rounded) > kGridTolerance) {
        return std::nullopt;
    }
    return std::int64_t(rounded);
}

// Output indices i in [0, length) for which start + step * i lies in [0, limit).
void visibleRange(std::int64_t start, int step, std::uint32_t length, std::uint32_t limit,
                  std::uint32_t& begin, std::uint32_t& end) {
    std::int64_t lo = 0;
    std::int64_t hi = length;
    if (step > 0) {
        lo = std::max(lo, -start);
        hi = std::min(hi, std::int64_t(limit) - start);
    } else {
        lo = std::max(lo, start - std::int64_t(limit) + 1);
        hi = std::min(hi, start + 1);
    }
    begin = std::uint32_t(std::clamp<std::int64_t>(lo, 0, length));
    end = std::uint32_t(std::clamp<std::int64_t>(hi, begin, length));
}

} // namespace

std::optional<AxisAlignedPlacement> AxisAlignedPlacement::compute(const AffineTransform& ctm, const Rect& rect,
                                                                  std::uint32_t bitmapWidth,
                                                                  std::uint32_t bitmapHeight) {
    double a = ctm.a, b = ctm.b, c = ctm.c, d = ctm.d;
    const double largest = std::max({std::fabs(a), std::fabs(b), std::fabs(c), std::fabs(d)});
    if (!std::isfinite(largest) || largest == 0.0) {
        return std::nullopt;
    }
    for (double* entry : {&a, &b, &c, &d}) {
        if (std::fabs(*entry) < kSnapRelative * largest) {
            *entry = 0.0;
        }
    }
    const bool straight = b == 0.0 && c == 0.0 && a != 0.0 && d != 0.0;
    const bool turned = a == 0.0 && d == 0.0 && b != 0.0 && c != 0.0;
    if (!straight && !turned) {
        return std::nullopt;
    }

    // In bitmap coordinates (x right, y down from the top row): the image's
    // top-left corner, and the vectors along its full width and full height.
    // Its top row is drawn at the rectangle's highest y.
    const double x0 = rect.origin.x, x1 = double(rect.origin.x) + rect.size.width;
    const double yTop = double(rect.origin.y) + rect.size.height, yBottom = rect.origin.y;
    const auto toBitmap = [&](double x, double y) {
        return Vector{a * x + c * y + ctm.tx, double(bitmapHeight) - (b * x + d * y + ctm.ty)};
    };
    const Vector topLeft = toBitmap(x0, yTop);
    const Vector topRight = toBitmap(x1, yTop);
    const Vector bottomLeft = toBitmap(x0, yBottom);

    const auto originX = onGrid(topLeft.x), originY = onGrid(topLeft.y);
    const auto acrossX = onGrid(topRight.x - topLeft.x), acrossY = onGrid(topRight.y - topLeft.y);
    const auto downX = onGrid(bottomLeft.x - topLeft.x), downY = onGrid(bottomLeft.y - topLeft.y);
    if (!originX || !originY || !acrossX || !acrossY || !downX || !downY) {
        return std::nullopt;
    }
    const auto sign = [](std::int64_t v) { return v > 0 ? 1 : v < 0 ? -1 : 0; };

    const std::int64_t width = std::llabs(*acrossX + *acrossY);
    const std::int64_t height = std::llabs(*downX + *downY);
    if (width > std::int64_t(kMaxSide) || height > std::int64_t(kMaxSide)) {
        return std::nullopt;
    }
    AxisAlignedPlacement placement;
    placement.outWidth = std::uint32_t(width);
    placement.outHeight = std::uint32_t(height);
    if (placement.outWidth == 0 || placement.outHeight == 0) {
        return placement;  // a zero-area rectangle: nothing to draw
    }
    placement.columnStepX = sign(*acrossX);
    placement.columnStepY = sign(*acrossY);
    placement.rowStepX = sign(*downX);
    placement.rowStepY = sign(*downY);
    // A step toward lower coordinates starts one pixel further in: pixel p spans [p, p + 1).
    placement.startX = *originX + std::min(placement.columnStepX, 0) + std::min(placement.rowStepX, 0);
    placement.startY = *originY + std::min(placement.columnStepY, 0) + std::min(placement.rowStepY, 0);

    const bool columnsRunAlongX = placement.columnStepX != 0;
    visibleRange(columnsRunAlongX ? placement.startX : placement.startY,
                 columnsRunAlongX ? placement.columnStepX : placement.columnStepY, placement.outWidth,
                 columnsRunAlongX ? bitmapWidth : bitmapHeight, placement.columnBegin, placement.columnEnd);
    visibleRange(columnsRunAlongX ? placement.startY : placement.startX,
                 columnsRunAlongX ? placement.rowStepY : placement.rowStepX, placement.outHeight,
                 columnsRunAlongX ? bitmapHeight : bitmapWidth, placement.rowBegin, placement.rowEnd);
    return placement;
}

} // namespace pellora
