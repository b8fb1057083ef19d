#pragma once

// Internal to the metadata folder: maker notes carried as their raw bytes at
// the offset they had in the source.
//
// Exiv2 rewrites the maker notes it decodes. Any other maker note is opaque:
// its values may sit at offsets from its own start, from an inner TIFF header
// or from the EXIF block's TIFF header, and nothing says which. Written at the
// same offset from the TIFF header as in the source, with the same bytes, it
// reads back exactly as it did, whatever its format.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/imageio/metadata/ExifBlockReplacement.h"
#include "platform/imageio/metadata/Exiv2Support.h"

namespace pellora {

// Keys of the source metadata blocks: the maker note's bytes as the source
// holds them, and their offset from the TIFF header of the source's EXIF
// block. Kept for every maker note, decoded or not: Exiv2 does not rewrite
// every maker note it decodes faithfully.
inline constexpr const char* kMakerNoteBlock = "MakerNote";
inline constexpr const char* kMakerNoteOffsetBlock = "MakerNoteOffset";

// The bytes of the maker note (the Exif directory's entry as read); nullopt
// when there is none.
std::optional<std::vector<std::uint8_t>> makerNoteBytes(const Exiv2::ExifData& exif);
// True when Exiv2 decoded the maker note into its maker's tags (and so
// rewrites it when it encodes the data).
bool makerNoteDecoded(const Exiv2::ExifData& exif);
// Removes the maker note and every tag Exiv2 decoded from it.
void eraseMakerNote(Exiv2::ExifData& exif);

// The offset of the maker note from its TIFF header in the file: the EXIF
// block whose maker-note entry holds exactly these bytes. nullopt when no
// such block is found.
std::optional<std::uint32_t> makerNoteOffsetInFile(std::span<const std::uint8_t> file,
                                                   std::span<const std::uint8_t> makerNote);

// The EXIF block (a TIFF stream as Exiv2 encodes it, whose Exif directory
// holds a maker-note entry) laid out anew with the maker note at offset, the
// rest packed around it. nullopt when it cannot be placed there within
// maxSize, or the block holds pointers this layout cannot follow.
std::optional<std::vector<std::uint8_t>> placeMakerNote(std::span<const std::uint8_t> exifBlock,
                                                        std::span<const std::uint8_t> makerNote,
                                                        std::uint32_t offset, std::uint32_t maxSize);

} // namespace pellora
