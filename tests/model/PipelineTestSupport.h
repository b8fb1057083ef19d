#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/foundation/PlistValue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/Image.h"
#include "support/TestSupport.h"

namespace pellora::test {

// The settings store of this test process, kept in a temporary home that is
// made before anything else reaches the store, with the defaults registered.
// Each call puts the export settings back to their defaults.
UserDefaults& pipelineSettings();
void setSetting(const char* key, const PlistValue& value);

// The captured lines that begin "*** Error", in order.
std::vector<std::string> errorLines(const LogCapture& log);

// An 8-bit straight RGBA colour.
struct Rgba {
    std::uint8_t r, g, b, a;
};
using PixelFunction = std::function<Rgba(std::uint32_t x, std::uint32_t y)>;

// Writes a picture through Pellora's own encoder with the given properties
// (encoder options and metadata families); true when the file was written.
bool writePicture(const std::string& path, const char* type, std::uint32_t width, std::uint32_t height,
                  const PixelFunction& pixel, const PlistDictionary& properties = {});

// The first image of a file as Pellora decodes it at full size; null when it cannot.
DecodedImagePtr decodeFile(const std::string& path);

} // namespace pellora::test
