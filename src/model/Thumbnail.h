#pragma once

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Geometry.h"

namespace pellora {

// The side of a list thumbnail, in points: its longer side is exactly this.
inline constexpr float kThumbnailSide = 41.0f;

// A record's list picture: its size in points, unrounded, and a raster of it
// drawn at twice that size (rounded up) for sharp display on dense screens.
// The raster is empty when the file could not be decoded.
struct Thumbnail {
    Size size;
    Bitmap raster;
};

} // namespace pellora
