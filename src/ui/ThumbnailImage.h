#pragma once

#include "ui/ThumbnailCache.h"

namespace pellora {

class PelloraImage;

// The record's upright list thumbnail as a Qt image, with its unrounded size. A file
// that cannot be decoded gives a null image of side 41. Any thread.
ThumbnailCache::Thumbnail thumbnailOfRecord(PelloraImage& record);

} // namespace pellora
