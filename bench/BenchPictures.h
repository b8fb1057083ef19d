#pragma once

// Pictures the benchmarks make for themselves when given no file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/foundation/PlistValue.h"
#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"

namespace pellora::bench {

// A camera-sized JPEG of gradients and grain (quality 0.85), with the given
// metadata properties.
inline bool makePhotoLikeJpeg(const std::string& path, std::uint32_t width, std::uint32_t height,
                              const PlistDictionary& metadata = {}) {
    std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4);
    std::uint32_t noise = 12345;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* pixel = pixels.data() + (std::size_t{y} * width + x) * 4;
            const int base[3] = {static_cast<int>(x * 200 / width), static_cast<int>(y * 180 / height),
                                 static_cast<int>((x + y) * 150 / (width + height))};
            for (int c = 0; c < 3; ++c) {
                noise = noise * 1664525u + 1013904223u;
                pixel[c] = static_cast<std::uint8_t>(std::clamp(base[c] + 30 + static_cast<int>(noise >> 27), 0, 255));
            }
            pixel[3] = 255;
        }
    }
    PlistDictionary properties = metadata;
    properties.set(kImageDestinationLossyCompressionQuality, 0.85);
    const auto destination = ImageDestination::createWithPath(path, kImageTypeJPEG);
    destination->addImage({pixels.data(), width, height, std::size_t{width} * 4, pixels.size()}, properties);
    return destination->finalize();
}

// The photograph a benchmark measures: the file named by its first argument,
// or else a 6000 x 4000 photo-like JPEG with the given metadata, made in a
// scratch folder that goes away with this object.
class BenchPhoto {
public:
    BenchPhoto(int argc, char** argv, const PlistDictionary& metadata = {}) {
        if (argc > 1) {
            _path = argv[1];
            return;
        }
        std::string pattern = "/tmp/pellora-bench-photo.XXXXXX";
        if (!::mkdtemp(pattern.data())) return;
        _folder = pattern;
        if (makePhotoLikeJpeg(_folder + "/photo.jpg", 6000, 4000, metadata)) _path = _folder + "/photo.jpg";
    }
    ~BenchPhoto() {
        if (_folder.empty()) return;
        std::remove((_folder + "/photo.jpg").c_str());
        ::rmdir(_folder.c_str());
    }
    BenchPhoto(const BenchPhoto&) = delete;
    BenchPhoto& operator=(const BenchPhoto&) = delete;

    // Empty when the photograph could not be made.
    const std::string& path() const { return _path; }

private:
    std::string _path;
    std::string _folder;
};

} // namespace pellora::bench
