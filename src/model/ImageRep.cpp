#include "model/ImageRep.h"

namespace pellora {

float dpiX(const ImageRep& rep) {
    return static_cast<float>(static_cast<double>(rep.pixelsWide) * 72.0 / static_cast<double>(rep.size.width));
}

float dpiY(const ImageRep& rep) {
    return static_cast<float>(static_cast<double>(rep.pixelsHigh) * 72.0 / static_cast<double>(rep.size.height));
}

void setdpiX(ImageRep& rep, int dpi) {
    rep.size.width = static_cast<float>(static_cast<double>(rep.pixelsWide) * 72.0 / static_cast<double>(dpi));
}

void setdpiY(ImageRep& rep, int dpi) {
    rep.size.height = static_cast<float>(static_cast<double>(rep.pixelsHigh) * 72.0 / static_cast<double>(dpi));
}

Size proportionalSizeFromSizeAndMaxSide(Size size, float maxSide) {
    if (size.height > size.width) {
        const float ratio = size.width / size.height;
        return Size{ratio * maxSide, maxSide};
    }
    const float ratio = size.height / size.width;
    return Size{maxSide, ratio * maxSide};
}

} // namespace pellora
