#pragma once

// Internal to the metadata folder: puts an EXIF block, byte for byte, in
// place of the one that Exiv2 wrote into a JPEG or JPEG 2000 file, for blocks
// whose layout matters (a maker note at a fixed offset).
#include <cstdint>
#include <span>
#include <vector>

namespace pellora {

// The largest TIFF stream a JPEG APP1 segment holds after its "Exif\0\0".
inline constexpr std::uint32_t kMaxJpegExifBlock = 0xffff - 2 - 6;

// Replace the payload of the first EXIF APP1 segment (before the scan) of a
// JPEG file, or of the EXIF uuid box of a JPEG 2000 file. false, with the
// file unchanged, when the file has no such segment or box, or the block does
// not fit.
bool replaceJpegExifBlock(std::vector<std::uint8_t>& file, std::span<const std::uint8_t> block);
bool replaceJp2ExifBlock(std::vector<std::uint8_t>& file, std::span<const std::uint8_t> block);

} // namespace pellora
