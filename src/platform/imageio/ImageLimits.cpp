#include "platform/imageio/ImageLimits.h"

#include <fmt/format.h>
#include <limits>
#include <new>

#include "platform/foundation/Log.h"

namespace pellora {

bool fitsDecodeLimits(std::string_view codec, std::uint64_t width, std::uint64_t height, const DecodeLimits& limits) {
    if (width == 0 || height == 0) {
        Log::line(fmt::format("{}: image has no pixels ({} x {})", codec, width, height));
        return false;
    }
    // Each side is checked first, so the product below cannot overflow.
    if (width > limits.maxSide || height > limits.maxSide || width * height > limits.maxPixels) {
        Log::line(fmt::format("{}: image of {} x {} pixels exceeds the limits ({} a side, {} pixels)", codec, width,
                              height, limits.maxSide, limits.maxPixels));
        return false;
    }
    return true;
}

std::uint64_t decodedImageBytes(const ImageHeader& header) {
    const std::uint64_t colours = header.isIndexed                      ? 3
                                  : header.colorModel == ColorModel::Gray ? 1
                                  : header.colorModel == ColorModel::RGB  ? 3
                                                                          : 4;
    const std::uint64_t sampleBytes = header.isFloat ? 4 : header.bitsPerComponent > 8 ? 2 : 1;
    return std::uint64_t{header.width} * header.height * (colours + (header.hasAlpha ? 1 : 0)) * sampleBytes;
}

std::shared_ptr<DecodedImage> allocateDecodedImage(std::string_view codec, std::uint32_t width, std::uint32_t height,
                                                   ColorModel colorModel, SampleFormat sampleFormat, bool hasAlpha) {
    auto image = std::make_shared<DecodedImage>();
    image->width = width;
    image->height = height;
    image->colorModel = colorModel;
    image->sampleFormat = sampleFormat;
    image->hasAlpha = hasAlpha;
    constexpr std::size_t maxBytes = std::numeric_limits<std::size_t>::max();
    const std::size_t pixelBytes =
        static_cast<std::size_t>(image->channels()) * static_cast<std::size_t>(image->bytesPerSample());
    if (width == 0 || height == 0 || width > maxBytes / pixelBytes || height > maxBytes / (width * pixelBytes)) {
        Log::line(fmt::format("{}: a {} x {} image does not fit in memory", codec, width, height));
        return nullptr;
    }
    image->rowBytes = width * pixelBytes;
    try {
        image->pixels.resize(image->rowBytes * height);
    } catch (const std::bad_alloc&) {
        Log::line(fmt::format("{}: out of memory for a {} x {} image", codec, width, height));
        return nullptr;
    } catch (const std::length_error&) {
        Log::line(fmt::format("{}: a {} x {} image does not fit in memory", codec, width, height));
        return nullptr;
    }
    return image;
}

} // namespace pellora
