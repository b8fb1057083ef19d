#include "model/ReferencedImage.h"

#include "model/RecordReadOnce.h"
#include "platform/imageio/ImageSource.h"

namespace pellora {

void ReferencedImage::loadIfNeeded() {
    if (_loaded) return;
    _loaded = true;
    const auto source = RecordReadOnce::openHeaderSource(_path);
    if (!source) return;
    const auto header = source->header();
    if (!header || header->width == 0 || header->height == 0) return;
    ImageRep rep;
    rep.pixelsWide = static_cast<int>(header->width);
    rep.pixelsHigh = static_cast<int>(header->height);
    // The logical size the platform would derive from the resolution tags.
    const double dpiWidth = header->dpiWidth > 0 ? header->dpiWidth : 72.0;
    const double dpiHeight = header->dpiHeight > 0 ? header->dpiHeight : 72.0;
    rep.size = Size{static_cast<float>(header->width * 72.0 / dpiWidth),
                    static_cast<float>(header->height * 72.0 / dpiHeight)};
    _representations.push_back(rep);
}

std::vector<ImageRep> ReferencedImage::representations() {
    std::lock_guard lock(_mutex);
    loadIfNeeded();
    return _representations;
}

Size ReferencedImage::size() {
    std::lock_guard lock(_mutex);
    loadIfNeeded();
    return _representations.empty() ? Size{} : _representations.front().size;
}

void ReferencedImage::measureInPixels() {
    std::lock_guard lock(_mutex);
    loadIfNeeded();
    for (ImageRep& rep : _representations) {
        rep.size = Size{static_cast<float>(rep.pixelsWide), static_cast<float>(rep.pixelsHigh)};
    }
}

} // namespace pellora
