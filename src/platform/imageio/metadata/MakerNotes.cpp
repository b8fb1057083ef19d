#include "platform/imageio/metadata/MakerNotes.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/imageio/metadata/TiffStructure.h"

namespace pellora {
namespace {

// A file may hold TIFF-like byte runs in its pixel data; a few candidates are
// enough, since EXIF blocks come first in the files that hold one.
constexpr int kMaxCandidates = 64;

bool startsLikeTiff(std::span<const std::uint8_t> bytes) {
    constexpr std::array<std::string_view, 2> kHeaders{std::string_view("II*\0", 4), std::string_view("MM\0*", 4)};
    const std::string_view start(reinterpret_cast<const char*>(bytes.data()), std::min<std::size_t>(bytes.size(), 4));
    return start == kHeaders[0] || start == kHeaders[1];
}

} // namespace

std::optional<std::vector<std::uint8_t>> makerNoteBytes(const Exiv2::ExifData& exif) {
    const auto makerNote = exif.findKey(Exiv2::ExifKey("Exif.Photo.MakerNote"));
    if (makerNote == exif.end() || makerNote->size() <= 0) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(makerNote->size()));
    makerNote->copy(bytes.data(), Exiv2::invalidByteOrder);
    return bytes;
}

bool makerNoteDecoded(const Exiv2::ExifData& exif) {
    return std::any_of(exif.begin(), exif.end(), [](const Exiv2::Exifdatum& datum) {
        return Exiv2::ExifTags::isMakerGroup(datum.groupName());
    });
}

void eraseMakerNote(Exiv2::ExifData& exif) {
    for (auto datum = exif.begin(); datum != exif.end();) {
        const bool makerNote = datum->key() == "Exif.Photo.MakerNote" || datum->groupName() == "MakerNote" ||
                               Exiv2::ExifTags::isMakerGroup(datum->groupName());
        datum = makerNote ? exif.erase(datum) : std::next(datum);
    }
}

std::optional<std::uint32_t> makerNoteOffsetInFile(std::span<const std::uint8_t> file,
                                                   std::span<const std::uint8_t> makerNote) {
    int candidates = 0;
    for (std::size_t at = 0; at + 8 <= file.size() && candidates < kMaxCandidates; ++at) {
        const auto next = std::find_if(file.begin() + static_cast<std::ptrdiff_t>(at), file.end() - 7,
                                       [](std::uint8_t byte) { return byte == 'I' || byte == 'M'; });
        at = static_cast<std::size_t>(next - file.begin());
        if (at + 8 > file.size() || !startsLikeTiff(file.subspan(at))) continue;
        ++candidates;
        const std::span<const std::uint8_t> stream = file.subspan(at);
        const auto placement = tiff::makerNotePlacement(stream);
        if (placement && placement->size == makerNote.size() &&
            std::equal(makerNote.begin(), makerNote.end(), stream.begin() + placement->offset)) {
            return placement->offset;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> placeMakerNote(std::span<const std::uint8_t> exifBlock,
                                                        std::span<const std::uint8_t> makerNote,
                                                        std::uint32_t offset, std::uint32_t maxSize) {
    auto tree = tiff::readTree(exifBlock);
    if (!tree) return std::nullopt;
    tiff::Entry* entry = tiff::findExifEntry(*tree, tiff::kMakerNoteTag);
    if (entry == nullptr) return std::nullopt;
    entry->type = 7;  // undefined
    entry->count = static_cast<std::uint32_t>(makerNote.size());
    entry->value.assign(makerNote.begin(), makerNote.end());
    entry->fixedOffset = offset;
    return tiff::writeTree(*tree, maxSize);
}

} // namespace pellora
