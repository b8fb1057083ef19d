#pragma once

#include "platform/imageio/HeaderRangeReader.h"

namespace pellora {

// Reads through reader the ranges of a classic TIFF file that libtiff's first
// directory, Exiv2 and the EXIF preview need: the header, the chain of image
// directories and the SubIFD, Exif, GPS and Interoperability directories
// they lead to, every value stored outside its entry (strip and tile offset
// tables, ICC profile, XMP, IPTC, maker note), and the thumbnail of the
// second directory (the JPEG preview, or its strips). Never the pixel data of
// an image. False when the layout is malformed, BigTIFF, JPEG-compressed
// (libtiff reads the first strip's JPEG header then) or too large, or a read
// fails: the caller then reads the whole file.
bool readTiffHeaderRanges(HeaderRangeReader& reader);

} // namespace pellora
