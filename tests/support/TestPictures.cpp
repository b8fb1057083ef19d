#include "support/TestPictures.h"

#include <algorithm>
#include <vector>

#include "platform/imageio/ImageDestination.h"

namespace pellora::test {

bool writePicture(const std::string& path, const char* type, std::uint32_t width, std::uint32_t height,
                  const PixelFunction& pixel, const PlistDictionary& properties) {
    std::vector<std::uint8_t> pixels;
    for (std::uint32_t i = 0; i < width * height; ++i) {
        const Rgba c = pixel(i % width, i / width);
        // The encoder takes premultiplied pixels.
        const auto times = [&c](int value) { return std::uint8_t((value * c.a + 127) / 255); };
        pixels.insert(pixels.end(), {times(c.r), times(c.g), times(c.b), c.a});
    }
    const auto destination = ImageDestination::createWithPath(path, type);
    if (!destination) return false;
    destination->addImage({pixels.data(), width, height, std::size_t{width} * 4, pixels.size()}, properties);
    return destination->finalize();
}

bool writeGradient(const std::string& path, const char* type, std::uint32_t width, std::uint32_t height) {
    return writePicture(path, type, width, height, [&](std::uint32_t x, std::uint32_t y) {
        return Rgba{std::uint8_t(255 * x / std::max(1u, width - 1)), std::uint8_t(255 * y / std::max(1u, height - 1)), 96, 255};
    });
}

} // namespace pellora::test
