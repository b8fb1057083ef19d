#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/PlistValue.h"
#include "platform/imageio/AnonymousMapping.h"
#include "platform/imageio/Codec.h"
#include "platform/imageio/Image.h"
#include "platform/imageio/RowDecoder.h"

namespace pellora {

// An image file's bytes and the codec that reads them: the stand-in for the
// platform's image source. The codec is chosen by the data's signature, never
// by the file's name. Immutable once made, so any thread may use it.
class ImageSource {
public:
    // Reads the file whole. nullptr (after one log line) when it cannot be read
    // (missing, unreadable, a folder, empty) or no codec recognises its bytes.
    static std::unique_ptr<ImageSource> createWithPath(const std::string& path);
    // Reads only the byte ranges that header(), decodeMemory(),
    // copyPropertiesAtIndex() and exifPreview() need, where the codec knows
    // them (Codec::readHeaderRanges): the source then holds those ranges at
    // their offsets and zeros elsewhere. Otherwise, or when the ranges would
    // take too much of the file, it reads the whole file. Such a source does
    // not decode unless it holds the whole file. Fails as createWithPath does.
    static std::unique_ptr<ImageSource> createForHeaderWithPath(const std::string& path);
    // The same over bytes already in memory (copied).
    static std::unique_ptr<ImageSource> createWithData(std::span<const std::uint8_t> bytes);

    // The first image's size, depth, colour model, resolution and profile from
    // the header alone; no pixels are decoded. nullopt after one log line.
    std::optional<ImageHeader> header() const;
    // Decodes the first image. The size is checked against options.limits from
    // the header before anything is allocated. With options.minWidth/minHeight
    // the codec may decode at a reduced scale, never below that size.
    // The decode's memory (decodeMemory) is drawn from the process's pixel
    // memory budget first, waiting while it is taken, and held as long as the
    // image lives; unless this thread's caller holds a share that counts it
    // (PixelMemoryBudget::CoveredScope). nullptr after one log line, also when
    // the decode needs more than the whole budget.
    DecodedImagePtr decodeFirstImage(const DecodeOptions& options = {}) const;
    // True when the first image can be decoded a band of rows at a time.
    bool decodesRows() const { return _codec->decodesRows(_data); }
    // The first image decoded a band of rows at a time, when it can
    // (decodesRows()); nullptr after one log line otherwise. The
    // source must outlive the decoder. Its memory (rowDecodeMemory) is drawn
    // from the budget as decodeFirstImage's is.
    std::unique_ptr<RowDecoder> openRowDecoder(const DecodeOptions& options = {}) const;
    std::optional<std::uint64_t> rowDecodeMemory(const DecodeOptions& options = {}) const;
    // The memory decodeFirstImage(options) holds at its peak, from the header
    // alone; nullopt after one log line when the header cannot be read.
    std::optional<std::uint64_t> decodeMemory(const DecodeOptions& options = {}) const;

    // The properties of image index (only the first, 0, is known): pixel size,
    // resolution, depth, colour model, alpha, profile name, orientation, the
    // metadata families, and the source's metadata blocks for a later write.
    // Never decodes pixels. Null (after one log line) when the header cannot be
    // read; unreadable metadata gives the header's entries alone and one log line.
    PlistValue copyPropertiesAtIndex(std::size_t index) const;

    // The preview image (a JPEG) that the file's EXIF stores beside the image,
    // as a view into the source; empty when there is none or it lies outside
    // the file. For the list's thumbnail only: its pixels are the camera's.
    std::span<const std::uint8_t> exifPreview() const;

    // The number of images (pages, frames) in the file.
    std::size_t count() const;
    // The type identifier of the format ("public.jpeg", ...); empty for formats
    // Pellora reads but does not write.
    std::string_view type() const;
    const Codec& codec() const { return *_codec; }
    // False for a source made for the header that holds only part of the file.
    bool holdsWholeFile() const { return _holdsWholeFile; }
    // The bytes read from the file to make the source (0 for data in memory),
    // those of a header read that gave way to a whole read included.
    std::uint64_t bytesRead() const { return _bytesRead; }

private:
    ImageSource(std::vector<std::uint8_t> bytes, const Codec& codec, std::uint64_t bytesRead);
    ImageSource(AnonymousMapping headerRanges, const Codec& codec, std::uint64_t bytesRead);
    // The first image's header when it fits options.limits; nullopt after one log line.
    std::optional<ImageHeader> headerWithinLimits(const DecodeOptions& options) const;
    // A share of the pixel memory budget for a decode of memory bytes; not
    // granted (after one log line) when memory is unknown or beyond the budget.
    PixelReservation reserveShare(const ImageHeader& firstHeader, std::optional<std::uint64_t> memory) const;

    std::vector<std::uint8_t> _bytes;  // the whole file
    AnonymousMapping _headerRanges;    // or a header's ranges, at their offsets
    std::span<const std::uint8_t> _data;  // whichever of the two holds the file
    const Codec* _codec;
    bool _holdsWholeFile;
    std::uint64_t _bytesRead;
};

} // namespace pellora
