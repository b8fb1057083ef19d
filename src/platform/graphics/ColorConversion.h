#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/imageio/Image.h"

namespace pellora {

class IccTransform;

// True when the image's sizes, sample layout and pixel buffer agree, so that
// every row can be read without going past the end of the buffer.
bool hasConsistentLayout(const DecodedImage& image);

// Converts the rows of a decoded image, one at a time, to 8-bit sRGB RGBA with
// premultiplied alpha. A source with an embedded profile goes through Little
// CMS. Without one, the colour values are taken as sRGB already: grey is
// replicated, and CMYK is converted naively (red = (1 - cyan)(1 - black), ...):
// the only CMYK profile Debian 12 ships is Ghostscript's, under the AGPL and
// inside Ghostscript's own data package, so there is no default to lean on.
// 16-bit samples round as (v * 255 + 32767) / 65535; float samples are
// clamped to [0, 1].
class SrgbRowConverter {
public:
    // The image must outlive the converter, and have a consistent layout
    // when convertRow is used.
    // Logs one line when the image carries a profile that cannot be used.
    explicit SrgbRowConverter(const DecodedImage& image);
    ~SrgbRowConverter();

    // Writes image.width RGBA pixels.
    void convertRow(std::uint32_t row, std::uint8_t* rgba);
    // The same from one row of samples in the image's layout, held elsewhere
    // (a row decoder's); the image's pixels are not read.
    void convertSamples(const std::uint8_t* source, std::uint8_t* rgba);

private:
    void convertUntagged(const std::uint8_t* samples, std::uint8_t* rgba) const;
    void convertTagged(const std::uint8_t* source, std::uint8_t* rgba);

    const DecodedImage& _image;
    std::shared_ptr<const IccTransform> _transform;
    std::vector<std::uint8_t> _bytes;     // a row reduced to 8-bit samples
    std::vector<std::uint16_t> _words;    // a float row widened to 16-bit for lcms
};

} // namespace pellora
