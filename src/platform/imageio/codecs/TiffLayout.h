#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tiffio.h>

#include "platform/imageio/Image.h"

namespace pellora {

// How the first directory of a TIFF stores its pixels, and how we decode them.
struct TiffLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    bool planarSeparate = false;
    int colourSamples = 1;          // samples before the extra ones (1 for an index)
    ColorModel colorModel = ColorModel::Gray;
    bool hasAlpha = false;          // the first extra sample is alpha
    bool associatedAlpha = false;   // ... and the colours are premultiplied by it
    bool indexed = false;
    // Decoded through TIFFRGBAImage (8-bit RGBA) rather than sample by sample.
    bool throughRgba = false;

    SampleFormat outputFormat() const;
};

// The layout of the current directory, or nullopt with the reason in `why`.
std::optional<TiffLayout> readTiffLayout(TIFF* tif, std::string& why);

} // namespace pellora
