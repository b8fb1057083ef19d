#pragma once

// Finding, through a HeaderRangeReader, the parts of a HEIF file that its
// header and metadata are read from.
namespace pellora {

class HeaderRangeReader;

// Reads the header of every top-level box, the whole `ftyp` and `meta` boxes,
// and the data of every item that is not coded image data (EXIF, XMP, grid
// and overlay descriptions...), wherever the item location box puts it. Never
// the coded images. false when the layout is not one this reads (image
// sequences, items in other files or built from other items, a broken box
// tree) or a read fails.
bool readHeifHeaderRanges(HeaderRangeReader& reader);

} // namespace pellora
