#include "model/ThumbnailRaster.h"

#include <cmath>
#include <fmt/format.h>

#include "model/PelloraImage.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/metadata/ExifPreview.h"

namespace pellora {
namespace {

// True when a preview of previewWidth x previewHeight shows the whole stored
// image scaled, not a crop or a letterboxed frame: each side within one pixel
// of what the other side and the image's proportions make it.
bool hasProportionsOf(std::uint32_t previewWidth, std::uint32_t previewHeight, Size stored) {
    const double ratio = double(stored.width) / double(stored.height);
    return std::abs(previewHeight - previewWidth / ratio) <= 1.0 && std::abs(previewWidth - previewHeight * ratio) <= 1.0;
}

} // namespace

std::optional<Bitmap> orientedThumbnailRaster(const DecodedImage& image, int tag, std::uint32_t width,
                                              std::uint32_t height) {
    std::optional<Bitmap> raster = Bitmap::cleared(width, height);
    if (!raster) return std::nullopt;
    const auto context =
        BitmapContext::create(raster->pixels.data(), raster->pixels.size(), width, height, raster->rowBytes);
    if (!context || !context->drawImage(rectWithOrientedContext(*context, tag, float(width), float(height)), image)) {
        return std::nullopt;
    }
    return raster;
}

std::optional<Bitmap> thumbnailRasterFromPreview(const ImageSource& source, const std::string& path, Size stored,
                                                 int tag, std::uint32_t width, std::uint32_t height) {
    const std::span<const std::uint8_t> bytes = source.exifPreview();
    if (bytes.empty() || !(stored.width >= 1 && stored.height >= 1)) return std::nullopt;
    // The preview is stored like the image: turned tags swap the raster's sides.
    const bool turned = isTurnedOrientation(tag);
    DecodeOptions options;
    options.minWidth = turned ? height : width;
    options.minHeight = turned ? width : height;

    std::optional<Bitmap> raster;
    bool unreadable = false;
    // The preview's own failures are told in one line about the file below.
    Log::collectLines([&] {
        const auto preview = ImageSource::createWithData(bytes);
        const auto header = preview ? preview->header() : std::nullopt;
        if (!header) {
            unreadable = true;
            return;
        }
        if (header->width < options.minWidth || header->height < options.minHeight ||
            !hasProportionsOf(header->width, header->height, stored)) {
            return;
        }
        const DecodedImagePtr image = preview->decodeFirstImage(options);
        unreadable = !image;
        if (image) raster = orientedThumbnailRaster(*image, tag, width, height);
    });
    if (unreadable) Log::line(fmt::format("Thumbnail: the preview stored in {} cannot be read; the image is decoded instead", path));
    return raster;
}

} // namespace pellora
