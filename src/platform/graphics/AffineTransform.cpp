#include "platform/graphics/AffineTransform.h"

#include <cmath>

namespace pellora {

AffineTransform AffineTransform::makeTranslation(float dx, float dy) {
    return {1, 0, 0, 1, dx, dy};
}

AffineTransform AffineTransform::makeScale(float sx, float sy) {
    return {sx, 0, 0, sy, 0, 0};
}

AffineTransform AffineTransform::makeRotation(float angle) {
    const float cosine = std::cos(angle);
    const float sine = std::sin(angle);
    return {cosine, sine, -sine, cosine, 0, 0};
}

AffineTransform AffineTransform::concat(const AffineTransform& first, const AffineTransform& then) {
    return {first.a * then.a + first.b * then.c,
            first.a * then.b + first.b * then.d,
            first.c * then.a + first.d * then.c,
            first.c * then.b + first.d * then.d,
            first.tx * then.a + first.ty * then.c + then.tx,
            first.tx * then.b + first.ty * then.d + then.ty};
}

AffineTransform AffineTransform::translated(float dx, float dy) const {
    return concat(makeTranslation(dx, dy), *this);
}

AffineTransform AffineTransform::scaled(float sx, float sy) const {
    return concat(makeScale(sx, sy), *this);
}

AffineTransform AffineTransform::rotated(float angle) const {
    return concat(makeRotation(angle), *this);
}

Point AffineTransform::apply(Point p) const {
    return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty};
}

} // namespace pellora
