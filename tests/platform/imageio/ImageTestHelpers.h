#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/imageio/Image.h"

namespace pellora::test {

// 8-bit straight RGBA of any decoded image: grey widened to RGB, 16-bit samples
// scaled with rounding, CMYK by plain ink subtraction, opaque alpha added.
std::vector<std::uint8_t> toRgba8(const DecodedImage& image);

// The integers of a JSON array file, in order.
std::vector<int> readJsonIntegers(const std::string& path);

// The largest difference between two sample arrays of equal length (-1 when
// the lengths differ).
int maxDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);
// The same over RGBA pixels, where the colour of a pixel transparent in both does not count.
int maxRgbaDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);

// A premultiplied RGBA bitmap as the renderer makes it.
struct TestBitmap {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;
    RgbaBitmapView view() const { return {pixels.data(), width, height, std::size_t{width} * 4}; }
};

// Smooth colour gradients with a few flat patches; when translucent, alpha
// runs from 0 to 255 across the width (colours premultiplied).
TestBitmap makeTestBitmap(std::uint32_t width, std::uint32_t height, bool translucent);

// The bytes of an sRGB ICC profile made by Little CMS.
std::string srgbIccProfile();

// Raw 8-bit samples of a file as ImageMagick decodes it ("rgb", "rgba", "gray",
// "cmyk"); empty when ImageMagick fails.
std::vector<std::uint8_t> imageMagickSamples(const std::string& path, const std::string& map);

} // namespace pellora::test
