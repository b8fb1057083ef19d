#pragma once

#include <QImage>
#include <QSize>

namespace pellora {

class PelloraImage;

// Decodes a record's image for display on a screen of maxPixels device pixels,
// turned upright by its orientation tag as an export turns it: an image larger
// than that is decoded at a reduced scale where the codec can (never below the
// size it is shown at) and drawn by the core's bitmap context, with its colour
// converted to sRGB, at the largest size that fits; a smaller image keeps its
// own (upright) size. A null image (after the core's log line) when the file
// cannot be decoded. Any thread.
QImage decodeImageForScreen(PelloraImage& record, QSize maxPixels);

// The largest size with the proportions of imageSize that fits in bounds,
// or imageSize itself when it already fits.
QSize sizeFittingWithin(QSize imageSize, QSize bounds);

} // namespace pellora
