#pragma once

#include "platform/graphics/Geometry.h"

namespace pellora {

// A 2D affine transform in 32-bit floats, laid out as the platform's:
//   x' = a*x + c*y + tx
//   y' = b*x + d*y + ty
struct AffineTransform {
    float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }
    static AffineTransform makeTranslation(float dx, float dy);
    static AffineTransform makeScale(float sx, float sy);
    static AffineTransform makeRotation(float angle);  // radians, counter-clockwise with y up

    // The transform that applies `first`, then `then`.
    static AffineTransform concat(const AffineTransform& first, const AffineTransform& then);

    // These prepend: the new step applies to points before this transform does.
    AffineTransform translated(float dx, float dy) const;
    AffineTransform scaled(float sx, float sy) const;
    AffineTransform rotated(float angle) const;

    Point apply(Point p) const;

    bool operator==(const AffineTransform&) const = default;
};

} // namespace pellora
