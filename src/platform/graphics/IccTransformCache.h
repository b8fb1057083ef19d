#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/imageio/Image.h"

namespace pellora {

// The pixel layout fed to a profile transform: 8- or 16-bit samples (16-bit in
// native byte order), colour components first, optional alpha last.
struct IccSourceFormat {
    ColorModel colorModel = ColorModel::RGB;
    int bytesPerSample = 1;
    bool hasAlpha = false;
    bool inverted = false;  // CMYK stored as 255 - ink

    bool operator==(const IccSourceFormat&) const = default;
};

// A Little CMS transform from an embedded profile to sRGB. Immutable once
// made and created without lcms's one-pixel cache, so threads may share it.
class IccTransform {
public:
    explicit IccTransform(void* handle) : _handle(handle) {}
    ~IccTransform();
    IccTransform(const IccTransform&) = delete;
    IccTransform& operator=(const IccTransform&) = delete;

    // Writes the red, green and blue bytes of `pixels` RGBA pixels; alpha bytes are left alone.
    void toRgba(const void* in, std::uint8_t* rgba, std::uint32_t pixels) const;

private:
    void* _handle;
};

// Transforms to sRGB, kept for the few profiles a batch typically carries
// (a camera's files share one). The rendering intent is perceptual: the usual
// choice for photographs, and the same as relative colorimetric for the
// matrix-and-curve RGB profiles that cameras and editors embed.
class IccTransformCache {
public:
    // Null, after one log line, when lcms cannot read the profile or the
    // profile does not describe the pixels' colour model.
    static std::shared_ptr<const IccTransform> transformToSrgb(const std::vector<std::uint8_t>& profile,
                                                               const IccSourceFormat& format);
};

} // namespace pellora
