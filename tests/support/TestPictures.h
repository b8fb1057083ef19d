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
// families) as a file of the type (kUTTypeJPEG...); true when it was written.
bool writePicture(const std::string& path, const char* type, std::uint32_t width, std::uint32_t height,
                  const PixelFunction& pixel, const PlistDictionary& properties = {});
// An opaque gradient: red across, green down.
bool writeGradient(const std::string& path, const char* type, std::uint32_t width, std::uint32_t height);

} // namespace pellora::test
