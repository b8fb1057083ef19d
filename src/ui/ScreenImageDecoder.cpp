#include "ui/ScreenImageDecoder.h"

#include <algorithm>
#include <cmath>

#include "model/PelloraImage.h"
#include "model/RecordReadOnce.h"
#include "platform/graphics/BitmapContext.h"

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

QImage decodeImageForScreen(PelloraImage& record, QSize maxPixels) {
    // The size, the orientation and the pixels come from one read of the file.
    const RecordReadOnce fileReadOnce(record);
    const Size stored = record.inputSize();
    if (stored.width <= 0 || stored.height <= 0) {
        return {};
    }
    const int tag = orientationTagOf(record.inputMetadata());
    const Size upright = uprightSize(stored, tag);
    const auto pixels = [](float side) { return static_cast<int>(std::min(side, 1e9f)); };
    const QSize shown = sizeFittingWithin(QSize(pixels(upright.width), pixels(upright.height)), maxPixels);
    const bool turned = isTurnedOrientation(tag);
    DecodeOptions options;
    options.minWidth = static_cast<std::uint32_t>(turned ? shown.height() : shown.width());
    options.minHeight = static_cast<std::uint32_t>(turned ? shown.width() : shown.height());
    const DecodedImagePtr decoded = record.decodeInput(options);
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
    if (!context) {
        return {};
    }
    const Rect rect = rectWithOrientedContext(*context, tag, static_cast<float>(image.width()),
                                              static_cast<float>(image.height()));
    if (!context->drawImage(rect, *decoded)) {
        return {};
    }
    return image;
}

} // namespace pellora
