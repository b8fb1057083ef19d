#include "support/TestPictures.h"

#include <algorithm>
#include <vector>

#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"

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

Rgba quarterColour(int row, int column) {
    static constexpr Rgba colours[2][2] = {{{220, 30, 30, 255}, {30, 200, 30, 255}},
                                           {{30, 30, 220, 255}, {230, 220, 30, 255}}};
    return colours[row != 0][column != 0];
}

PixelFunction quarters(std::uint32_t width, std::uint32_t height) {
    return [=](std::uint32_t x, std::uint32_t y) { return quarterColour(y >= height / 2, x >= width / 2); };
}

bool writeOrientedPicture(const std::string& path, int tag, std::uint32_t uprightWidth, std::uint32_t uprightHeight,
                          const PixelFunction& upright) {
    const std::uint32_t w = uprightWidth, h = uprightHeight;
    const bool turned = tag >= 5 && tag <= 8;
    // For each tag, the upright pixel that the stored pixel (x, y) shows as.
    const PixelFunction stored = [=](std::uint32_t x, std::uint32_t y) {
        switch (tag) {
        case 2: return upright(w - 1 - x, y);
        case 3: return upright(w - 1 - x, h - 1 - y);
        case 4: return upright(x, h - 1 - y);
        case 5: return upright(y, x);
        case 6: return upright(w - 1 - y, x);
        case 7: return upright(w - 1 - y, h - 1 - x);
        case 8: return upright(y, h - 1 - x);
        default: return upright(x, y);
        }
    };
    const PlistDictionary orientation{{kImagePropertyTIFFOrientation, tag}};
    const PlistDictionary properties{{kImageDestinationLossyCompressionQuality, 1.0},
                                     {kImagePropertyTIFFDictionary, orientation}};
    return writePicture(path, kImageTypeJPEG, turned ? h : w, turned ? w : h, stored, properties);
}

bool writeGradient(const std::string& path, const char* type, std::uint32_t width, std::uint32_t height) {
    return writePicture(path, type, width, height, [&](std::uint32_t x, std::uint32_t y) {
        return Rgba{std::uint8_t(255 * x / std::max(1u, width - 1)), std::uint8_t(255 * y / std::max(1u, height - 1)), 96, 255};
    });
}

} // namespace pellora::test
