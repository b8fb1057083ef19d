#pragma once

#include <cstdint>
#include <span>

namespace pellora {

// The preview image a camera stores in the EXIF data (the JPEG of IFD1) of a
// JPEG file (in its EXIF APP1 segment) or of a TIFF file, as a view into
// bytes; empty when there is none or when any offset or length of the
// segment, the directories or the preview lies outside the bytes. Only the
// EXIF structure is read: whether the preview decodes is for its decoder.
std::span<const std::uint8_t> exifPreviewJpeg(std::span<const std::uint8_t> bytes);

} // namespace pellora
