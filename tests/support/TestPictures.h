#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/foundation/PlistValue.h"

// Pictures written through Pellora's own encoders, for tests that need files
// to read. Free of GoogleTest and Qt, so that every test program can use it.
namespace pellora::test {

// An 8-bit straight RGBA colour.
struct Rgba {
    std::uint8_t r, g, b, a;
};
using PixelFunction = std::function<Rgba(std::uint32_t x, std::uint32_t y)>;

// Writes a picture with the given properties (encoder options and metadata
// families) as a file of the type (kImageTypeJPEG...); true when it was written.
bool writePicture(const std::string& path, const char* type, std::uint32_t width, std::uint32_t height,
                  const PixelFunction& pixel, const PlistDictionary& properties = {});
// Four flat quarters of a width x height picture, one colour each (top: red,
// green; bottom: blue, yellow), so that any mirror or turn moves a colour;
// quarterColour gives the colour of a quarter by row and column (0 or 1).
PixelFunction quarters(std::uint32_t width, std::uint32_t height);
Rgba quarterColour(int row, int column);
// Writes a JPEG tagged with the EXIF orientation (1 to 8) whose pixels are
// stored so that, turned as the tag says, it shows the upright picture of
// uprightWidth x uprightHeight that pixel describes.
bool writeOrientedPicture(const std::string& path, int tag, std::uint32_t uprightWidth, std::uint32_t uprightHeight,
                          const PixelFunction& upright);
// An opaque gradient: red across, green down.
bool writeGradient(const std::string& path, const char* type, std::uint32_t width, std::uint32_t height);

} // namespace pellora::test
