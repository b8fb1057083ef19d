#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Geometry.h"
#include "platform/imageio/Image.h"

namespace pellora {

class ImageSource;

// The stored image drawn upright, as the orientation tag says, into a
// width x height raster (the upright size); nullopt when it cannot be drawn.
std::optional<Bitmap> orientedThumbnailRaster(const DecodedImage& image, int tag, std::uint32_t width,
                                              std::uint32_t height);

// The same raster drawn from the preview image the file's EXIF carries,
// when there is one that covers the raster and has the proportions of the
// stored image (of stored size) within a pixel; nullopt otherwise, and then
// the image itself is to be decoded. A preview that does not decode is
// logged, naming path.
std::optional<Bitmap> thumbnailRasterFromPreview(const ImageSource& source, const std::string& path, Size stored,
                                                 int tag, std::uint32_t width, std::uint32_t height);

} // namespace pellora
