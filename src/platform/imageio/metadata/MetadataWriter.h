#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/PlistValue.h"

namespace pellora {

// The metadata blocks of an output file, ready to embed.
struct EmbeddableMetadata {
    PlistData exif;    // TIFF-structured EXIF block (no "Exif\0\0" prefix); empty for none
    PlistData iptc;    // IPTC datasets; empty for none
    std::string xmp;   // XMP packet; empty for none
    // The EXIF block must be written byte for byte: it holds the maker note
    // at the offset it had in the source. movableExif then holds the same
    // data laid out by Exiv2, for files whose layout is their encoder's.
    bool exifLayoutFixed = false;
    PlistData movableExif;
    bool empty() const { return exif.empty() && iptc.empty() && xmp.empty(); }
};

// Builds the output's metadata from a properties dictionary whose source blocks
// were read by addMetadataProperties: entries nobody changed are carried over
// exactly as read, changed entries are encoded anew, removed ones are dropped.
// Whatever describes the source's storage rather than the picture is left out
// (structural and colour-description tags, the IFD1 thumbnail); the maker
// note keeps its bytes and source offset, or, where it cannot, is rewritten by
// Exiv2 when Exiv2 decoded it and left out otherwise;
// ColorSpace says sRGB; resolution follows the
// top-level DPI; XMP's copies of orientation and pixel size follow EXIF and its
// stale digests go. nullopt (after one log line) when Exiv2 fails.
std::optional<EmbeddableMetadata> prepareOutputMetadata(const PlistDictionary& properties);

// Writes the blocks into an encoded JPEG, TIFF or JPEG 2000 file held in
// memory, with Exiv2; a fixed-layout EXIF block goes in whole (a TIFF file
// gets the movable one). false (after one log line, encoded unchanged) on failure.
bool embedMetadata(std::vector<std::uint8_t>& encoded, const EmbeddableMetadata& metadata);

} // namespace pellora
