// The record as the list and the viewer show it: upright, at its upright size.
#include <cmath>

#include "model/PelloraImage.h"
#include "model/RecordReadOnce.h"
#include "model/ThumbnailRaster.h"

namespace pellora {

Size PelloraImage::uprightInputSize() {
    const RecordReadOnce fileReadOnce(*this);
    const Size stored = inputSize();
    // An unreadable file has said so once already; its properties would say it again.
    if (stored.width <= 0 || stored.height <= 0) return Size{};
    return uprightSize(stored, orientationTagOf(inputMetadata()));
}

std::shared_ptr<const Thumbnail> PelloraImage::thumbnail() {
    std::lock_guard lock(_thumbnailMutex);
    if (_thumbnail) return _thumbnail;
    // The size, the orientation and the pixels come from one read of the file.
    const RecordReadOnce fileReadOnce(*this);
    auto thumbnail = std::make_shared<Thumbnail>();
    const Size stored = inputSize();
    if (stored.width <= 0 || stored.height <= 0) {
        // Nothing to measure: an empty square keeps the row drawable.
        thumbnail->size = Size{kThumbnailSide, kThumbnailSide};
        _thumbnail = std::move(thumbnail);
        return _thumbnail;
    }
    const int tag = orientationTagOf(inputMetadata());
    thumbnail->size = proportionalSizeFromSizeAndMaxSide(uprightSize(stored, tag), kThumbnailSide);
    const auto side = [](float points) { return static_cast<std::uint32_t>(std::max(1.0f, std::ceil(points * 2))); };
    const std::uint32_t width = side(thumbnail->size.width);
    const std::uint32_t height = side(thumbnail->size.height);
    // The camera's stored preview when it will do, which spares decoding the image.
    const auto source = RecordReadOnce::openHeaderSource(_inputPath);
    std::optional<Bitmap> raster =
        source ? thumbnailRasterFromPreview(*source, _inputPath, stored, tag, width, height) : std::nullopt;
    if (!raster) {
        // Decoded at the smallest scale the codec offers that still covers the raster.
        const bool turned = isTurnedOrientation(tag);
        DecodeOptions options;
        options.minWidth = turned ? height : width;
        options.minHeight = turned ? width : height;
        if (const DecodedImagePtr image = decodeInput(options)) raster = orientedThumbnailRaster(*image, tag, width, height);
    }
    if (raster) thumbnail->raster = std::move(*raster);
    _thumbnail = std::move(thumbnail);
    return _thumbnail;
}

} // namespace pellora
