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
    bool empty() const { return exif.empty() && iptc.empty() && xmp.empty(); }
};

// Builds the output's metadata from a properties dictionary whose source blocks
// were read by addMetadataProperties: entries nobody changed are carried over
// exactly as read, changed entries are encoded anew, removed ones are dropped.
// Whatever describes the source's storage rather than the picture is left out
// (structural and colour-description tags, the IFD1 thumbnail, a maker note
// Exiv2 could not decode); ColorSpace says sRGB; resolution follows the
// top-level DPI; XMP's copies of orientation and pixel size follow EXIF and its
// stale digests go. nullopt (after one log line) when Exiv2 fails.
std::optional<EmbeddableMetadata> prepareOutputMetadata(const PlistDictionary& properties);

// Writes the blocks into an encoded JPEG, TIFF or JPEG 2000 file held in
// memory, with Exiv2. false (after one log line, encoded unchanged) on failure.
bool embedMetadata(std::vector<std::uint8_t>& encoded, const EmbeddableMetadata& metadata);

} // namespace pellora
