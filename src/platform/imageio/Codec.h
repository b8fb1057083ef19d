#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/imageio/Image.h"

namespace pellora {

class RowDecoder;
class HeaderRangeReader;

// Limits checked from the header before any pixel buffer is allocated.
// The memory all decodes together may hold is the process's pixel memory
// budget (PixelMemoryBudget), set beside these.
struct DecodeLimits {
    std::uint64_t maxPixels = 300'000'000;
    std::uint32_t maxSide = 65'535;
};

struct DecodeOptions {
    // When non-zero, the codec may decode at a reduced scale (JPEG DCT scaling
    // and the like), but never smaller than this in either direction.
    std::uint32_t minWidth = 0;
    std::uint32_t minHeight = 0;
    DecodeLimits limits;
};

struct EncodeOptions {
    std::optional<float> quality;  // kImageDestinationLossyCompressionQuality, 0..1
    bool hasAlpha = true;          // kImagePropertyHasAlpha: false writes no alpha channel
    double dpi = 72.0;             // written into the format's own resolution field
    // Metadata blocks, for encoders that write them themselves (MetadataWriting::ByEncoder).
    std::vector<std::uint8_t> exif;  // TIFF-structured EXIF block
    std::string xmp;                 // XMP packet
};

// How a format's files get their EXIF, IPTC and XMP.
enum class MetadataWriting {
    None,           // the format holds none
    ByEncoder,      // the encoder writes EncodeOptions::exif and ::xmp
    AfterEncoding,  // written into the encoded file afterwards (Exiv2)
};

// One image format over the library made for it. Codecs are stateless and
// shared between threads; every call must be safe to run concurrently.
class Codec {
public:
    virtual ~Codec() = default;

    virtual std::string_view name() const = 0;  // "JPEG", "PNG", ...
    // Lower-case extensions the decoder opens ("jpg", "jpeg", ...).
    virtual std::vector<std::string> extensions() const = 0;
    // True when the first bytes of a file carry this format's signature.
    virtual bool sniff(std::span<const std::uint8_t> head) const = 0;

    // Header only: never decodes pixels. nullopt (after one log line) when the
    // data cannot be read as this format.
    virtual std::optional<ImageHeader> readHeader(std::span<const std::uint8_t> data) const = 0;
    // The memory decode() holds at its peak for the first image under options,
    // from the header alone: the pixels at the scale the options allow plus the
    // library's own buffers (a full-size raster or coefficient store).
    // nullopt (after one log line) when the header cannot be read. The default
    // counts the decoded pixels in the header's layout at full size.
    virtual std::optional<std::uint64_t> decodeMemory(std::span<const std::uint8_t> data,
                                                      const DecodeOptions& options) const;
    // The first image; nullptr (after one log line) on any failure.
    virtual DecodedImagePtr decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const = 0;
    // True when the first image of data can be decoded a band of rows at a
    // time (a damaged header may still fail then). openRowDecoder gives it as
    // a RowDecoder over data (which must outlive it), after the header is read
    // and checked against options.limits; nullptr after one log line. The
    // default decodes nothing: only codecs that override both are asked.
    virtual bool decodesRows(std::span<const std::uint8_t> /*data*/) const { return false; }
    virtual std::unique_ptr<RowDecoder> openRowDecoder(std::span<const std::uint8_t> data,
                                                       const DecodeOptions& options) const;
    // The memory openRowDecoder's decoder holds at its peak, from the header
    // alone; the default is decodeMemory's.
    virtual std::optional<std::uint64_t> rowDecodeMemory(std::span<const std::uint8_t> data,
                                                         const DecodeOptions& options) const {
        return decodeMemory(data, options);
    }
    // Reads through reader every byte range that readHeader(), the metadata
    // reader (Exiv2) and exifPreview() need, and none of the pixel data; false
    // when the file's layout is not understood that way, so that the whole
    // file is read instead. The default reads nothing and returns false.
    virtual bool readHeaderRanges(HeaderRangeReader& /*reader*/) const { return false; }
    // How many images the data holds (pages, frames); formats with one image keep the default.
    virtual std::size_t imageCount(std::span<const std::uint8_t> /*data*/) const { return 1; }

    // Encoders: the type identifier they write, or empty when the codec only decodes.
    virtual std::string_view typeIdentifier() const { return {}; }
    virtual MetadataWriting metadataWriting() const { return MetadataWriting::None; }
    // Repairs what writing metadata into the encoded bytes undid; true when they are sound.
    virtual bool finishAfterMetadata(std::vector<std::uint8_t>& /*encoded*/, const EncodeOptions& /*options*/) const {
        return true;
    }

    // The memory encode() holds besides the bitmap for a width x height image:
    // the encoded file in memory and the library's own copies. The default is
    // a byte a pixel, more than a photograph takes compressed.
    virtual std::uint64_t encodeMemory(std::uint32_t width, std::uint32_t height) const {
        return std::uint64_t{width} * height;
    }
    // Encodes the bitmap into memory (encoded is replaced). false (after one log line) on
    // failure. The file is written once, by ImageDestination, after the metadata is in.
    virtual bool encode(const RgbaBitmapView& /*bitmap*/, const EncodeOptions& /*options*/,
                        std::vector<std::uint8_t>& /*encoded*/) const {
        return false;
    }
};

} // namespace pellora
