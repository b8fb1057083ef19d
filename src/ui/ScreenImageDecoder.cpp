#include "ui/ScreenImageDecoder.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/imageio/ImageSource.h"

namespace pellora {

QSize sizeFittingWithin(QSize imageSize, QSize bounds) {
    if (imageSize.isEmpty() || bounds.isEmpty() ||
        (imageSize.width() <= bounds.width() && imageSize.height() <= bounds.height())) {
        return imageSize;
    }
    const double scale = std::min(static_cast<double>(bounds.width()) / imageSize.width(),
                                  static_cast<double>(bounds.height()) / imageSize.height());
    return QSize(std::max(1, static_cast<int>(std::lround(imageSize.width() * scale))),
                 std::max(1, static_cast<int>(std::lround(imageSize.height() * scale))));
}

QImage decodeImageForScreen(const std::string& path, QSize maxPixels) {
    const std::unique_ptr<ImageSource> source = ImageSource::createWithPath(path);
    if (!source) {
        return {};
    }
    const std::optional<ImageHeader> header = source->header();
    if (!header || header->width == 0 || header->height == 0) {
        return {};
    }
    const QSize shown = sizeFittingWithin(
        QSize(static_cast<int>(std::min<std::uint32_t>(header->width, INT32_MAX)),
              static_cast<int>(std::min<std::uint32_t>(header->height, INT32_MAX))),
        maxPixels);
    DecodeOptions options;
    options.minWidth = static_cast<std::uint32_t>(shown.width());
    options.minHeight = static_cast<std::uint32_t>(shown.height());
    const DecodedImagePtr decoded = source->decodeFirstImage(options);
    if (!decoded) {
        return {};
    }
    QImage image(shown, QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull()) {
        return {};
    }
    image.fill(Qt::transparent);
    const auto context = BitmapContext::create(image.bits(), static_cast<std::size_t>(image.sizeInBytes()),
                                               static_cast<std::uint32_t>(image.width()),
                                               static_cast<std::uint32_t>(image.height()),
                                               static_cast<std::size_t>(image.bytesPerLine()));
    if (!context || !context->drawImage(makeRect(0, 0, static_cast<float>(image.width()),
                                                 static_cast<float>(image.height())),
                                        *decoded)) {
        return {};
    }
    return image;
}

} // namespace pellora
