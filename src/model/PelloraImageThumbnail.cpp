// The record's list picture.
#include <cmath>

#include "model/PelloraImage.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/imageio/ImageSource.h"

namespace pellora {
namespace {

// Draws the file's stored image into a raster of the given pixel size, from a
// decode at the smallest scale the codec offers that still covers it. An
// unreadable file leaves the raster empty.
Bitmap thumbnailRaster(const std::string& path, std::uint32_t width, std::uint32_t height) {
    Bitmap raster;
    const auto source = ImageSource::createWithPath(path);
    if (!source) return raster;
    DecodeOptions options;
    options.minWidth = width;
    options.minHeight = height;
    const DecodedImagePtr image = source->decodeFirstImage(options);
    if (!image) return raster;
    raster.width = width;
    raster.height = height;
    raster.rowBytes = std::size_t{width} * 4;
    raster.pixels.assign(raster.rowBytes * height, 0);
    const auto context = BitmapContext::create(raster.pixels.data(), raster.pixels.size(), width, height,
                                               raster.rowBytes);
    if (!context || !context->drawImage(makeRect(0, 0, static_cast<float>(width), static_cast<float>(height)), *image)) {
        return Bitmap{};
    }
    return raster;
}

} // namespace

std::shared_ptr<const Thumbnail> PelloraImage::tableViewNSImage() {
    std::lock_guard lock(_thumbnailMutex);
    if (_tableViewNSImage) return _tableViewNSImage;
    auto thumbnail = std::make_shared<Thumbnail>();
    const Size input = inputSize();
    if (input.width <= 0 || input.height <= 0) {
        // Nothing to measure: an empty square keeps the row drawable.
        thumbnail->size = Size{kThumbnailSide, kThumbnailSide};
    } else {
        thumbnail->size = proportionalSizeFromSizeAndMaxSide(input, kThumbnailSide);
        const auto side = [](float points) { return static_cast<std::uint32_t>(std::max(1.0f, std::ceil(points * 2))); };
        thumbnail->raster = thumbnailRaster(_inputPath, side(thumbnail->size.width), side(thumbnail->size.height));
    }
    _tableViewNSImage = std::move(thumbnail);
    return _tableViewNSImage;
}

} // namespace pellora
