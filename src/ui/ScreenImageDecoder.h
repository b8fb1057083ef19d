#pragma once

#include <QImage>
#include <QSize>
#include <string>

namespace pellora {

// Decodes an image file for display on a screen of maxPixels device pixels:
// an image larger than that is decoded at a reduced scale where the codec
// can (never below the size it is shown at) and resampled by the core's
// bitmap context, with its colour converted to sRGB, to the largest size that
// fits; a smaller image keeps its own size. Stored rows are shown as stored,
// as the list's sizes are. A null image (after the core's log line) when the
// file cannot be decoded. Any thread.
QImage decodeImageForScreen(const std::string& path, QSize maxPixels);

// The largest size with the proportions of imageSize that fits in bounds,
// or imageSize itself when it already fits.
QSize sizeFittingWithin(QSize imageSize, QSize bounds);

} // namespace pellora
