#include "ui/ThumbnailImage.h"

#include "model/PelloraImage.h"
#include "model/Thumbnail.h"

namespace pellora {

namespace {

// The Qt image shares the record's raster and keeps it alive.
void releaseThumbnail(void* info) {
    delete static_cast<std::shared_ptr<const Thumbnail>*>(info);
}

} // namespace

ThumbnailCache::Thumbnail thumbnailOfRecord(PelloraImage& record) {
    const std::shared_ptr<const pellora::Thumbnail> thumbnail = record.thumbnail();
    const Size size = thumbnail ? thumbnail->size : Size{kThumbnailSide, kThumbnailSide};
    ThumbnailCache::Thumbnail result{QImage(), QSizeF(size.width, size.height)};
    if (!result.size.isValid() || result.size.isEmpty()) {
        result.size = QSizeF(kThumbnailSide, kThumbnailSide);
    }
    if (!thumbnail || thumbnail->raster.pixels.empty()) {
        return result;
    }
    const Bitmap& raster = thumbnail->raster;
    result.image = QImage(raster.pixels.data(), static_cast<int>(raster.width), static_cast<int>(raster.height),
                          static_cast<qsizetype>(raster.rowBytes), QImage::Format_RGBA8888_Premultiplied,
                          releaseThumbnail, new std::shared_ptr<const pellora::Thumbnail>(thumbnail));
    return result;
}

} // namespace pellora
