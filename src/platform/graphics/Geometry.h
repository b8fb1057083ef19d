#pragma once

namespace pellora {

// Points, sizes and rectangles in user space: 32-bit floats, origin at the
// lower left, y upward.
struct Point {
    float x = 0;
    float y = 0;
};

struct Size {
    float width = 0;
    float height = 0;
};

struct Rect {
    Point origin;
    Size size;
};

inline Rect makeRect(float x, float y, float width, float height) {
    return Rect{Point{x, y}, Size{width, height}};
}

} // namespace pellora
