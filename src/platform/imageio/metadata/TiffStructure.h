#pragma once

// Internal to the metadata folder: the directory structure of a TIFF stream
// (an EXIF block), read with every offset checked and written anew with
// chosen blocks kept at fixed offsets.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/imageio/metadata/TiffStreamReader.h"

namespace pellora::tiff {

struct Directory;

struct Entry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::vector<std::uint8_t> value;  // as stored, in the stream's byte order; empty for a pointer tag
    std::vector<Directory> subDirectories;  // what a pointer tag (Exif, GPS, Interop, SubIFDs) leads to
    std::optional<std::uint32_t> fixedOffset;  // when set, the value is written at exactly this offset
};

struct Directory {
    std::vector<Entry> entries;
};

struct Tree {
    bool bigEndian = false;
    std::vector<Directory> chain;  // IFD0, IFD1, ...
};

// The tree of a TIFF stream. nullopt when it is malformed (an offset or a
// count outside the stream, a loop, an unknown type, too many directories) or
// when an entry points at data outside the directories' values (strips,
// tiles, a thumbnail), which a new layout would leave behind.
std::optional<Tree> readTree(std::span<const std::uint8_t> stream);

// The stream of a tree: header, directories and values packed in order,
// around the fixed-offset values, which keep their offsets. nullopt when
// fixed values overlap each other or the header, or the stream would exceed
// maxSize.
std::optional<std::vector<std::uint8_t>> writeTree(const Tree& tree, std::uint32_t maxSize);

// The Exif directory's entry of a tag, or nullptr.
Entry* findExifEntry(Tree& tree, std::uint16_t tag);

struct Placement {
    std::uint32_t offset = 0;  // from the start of the TIFF header
    std::uint32_t size = 0;
};

// Where the maker note of a TIFF stream lies (the Exif directory's maker-note
// entry, its value within the stream); nullopt when there is none or when
// the stream does not hold it whole. Reads only the directories on its way.
std::optional<Placement> makerNotePlacement(std::span<const std::uint8_t> stream);

} // namespace pellora::tiff
