#include "support/TestPictures.h"

#include <algorithm>
#include <vector>

#include "platform/imageio/ImageDestination.h"

namespace pellora::test {

Rgba gradientPixel(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height) {
    return {std::uint8_t(255 * x / std::max(1u, width - 1)), std::uint8_t(255 * y / std::max(1u, height - 1)), 96, 255};
}

bool writePicture(const std::string& path, const char* type, std::uint32_t width, std::uint32_t height,
                  const PixelFunction& pixel, const PlistDictionary& properties) {
    std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const Rgba colour = pixel(x, y);
            std::uint8_t* out = pixels.data() + (std::size_t{y} * width + x) * 4;
            // The encoder takes premultiplied pixels.
            out[0] = static_cast<std::uint8_t>((colour.r * colour.a + 127) / 255);
            out[1] = static_cast<std::uint8_t>((colour.g * colour.a + 127) / 255);
            out[2] = static_cast<std::uint8_t>((colour.b * colour.a + 127) / 255);
            out[3] = colour.a;
        }
    }
    const auto destination = ImageDestination::createWithPath(path, type);
    if (!destination) return false;
    destination->addImage({pixels.data(), width, height, std::size_t{width} * 4}, properties);
    return destination->finalize();
}

bool writeGradient(const std::string& path, const char* type, std::uint32_t width, std::uint32_t height) {
    return writePicture(path, type, width, height,
                        [&](std::uint32_t x, std::uint32_t y) { return gradientPixel(x, y, width, height); });
}

} // namespace pellora::test
