#pragma once

#include "platform/graphics/Geometry.h"

namespace pellora {

// One representation of an image: its pixel count and its logical size in
// points, which a file's resolution tags would make differ from the pixels.
struct ImageRep {
    int pixelsWide = 0;
    int pixelsHigh = 0;
    Size size;
};

// Resolution helpers, computed in double precision and returned or stored as floats.
float dpiX(const ImageRep& rep);
float dpiY(const ImageRep& rep);
void setdpiX(ImageRep& rep, int dpi);
void setdpiY(ImageRep& rep, int dpi);

// Scales a size so that its longer side equals maxSide (enlarging as readily
// as shrinking), in single precision: the quotient first, then the product.
Size proportionalSizeFromSizeAndMaxSide(Size size, float maxSide);

} // namespace pellora
