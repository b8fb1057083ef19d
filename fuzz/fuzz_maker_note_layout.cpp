// Takes arbitrary bytes as an EXIF block: finds its maker note, and lays the
// block out anew with a maker note at a fixed offset, which must then be
// found exactly there.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzQuietLog.h"
#include "platform/imageio/metadata/MakerNotes.h"
#include "platform/imageio/metadata/TiffStructure.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> stream(data, size);
    if (const auto found = pellora::tiff::makerNotePlacement(stream)) {
        (void)pellora::makerNoteOffsetInFile(stream, stream.subspan(found->offset, found->size));
    }
    const std::vector<std::uint8_t> makerNote(size % 97 + 5, 0x4d);
    const auto offset = static_cast<std::uint32_t>(size % 4093 + 8);
    const auto placed = pellora::placeMakerNote(stream, makerNote, offset, pellora::kMaxJpegExifBlock);
    if (placed) {
        const auto found = pellora::tiff::makerNotePlacement(*placed);
        if (!found || found->offset != offset || found->size != makerNote.size()) __builtin_trap();
    }
    return 0;
}
