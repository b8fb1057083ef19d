#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/foundation/PlistValue.h"

namespace pellora {

// Adds the EXIF ({TIFF}, {Exif}, {GPS}) and IPTC ({IPTC}) families of an image
// file's bytes to properties, with the source's metadata blocks kept under
// kPelloraPropertySourceMetadata for a later write. Never decodes pixels.
// The bytes must already be known to be an image. false (after one log line
// naming origin) when Exiv2 cannot read them; properties is then unchanged.
bool addMetadataProperties(std::span<const std::uint8_t> bytes, const std::string& origin,
                           PlistDictionary& properties);

} // namespace pellora
