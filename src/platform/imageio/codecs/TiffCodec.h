#pragma once

#include "platform/imageio/Codec.h"

namespace pellora {

// TIFF over libtiff: the first page in 1 to 16 bits or 32-bit float, grey,
// RGB, CMYK or paletted, with alpha; other photometric models (YCbCr,
// JPEG-compressed, CIELab...) through libtiff's RGBA interface. Writes 8-bit
// RGB or RGBA with LZW compression.
class TiffCodec final : public Codec {
public:
    std::string_view name() const override { return "TIFF"; }
    std::vector<std::string> extensions() const override { return {"tif", "tiff"}; }
    bool sniff(std::span<const std::uint8_t> head) const override;
    std::optional<ImageHeader> readHeader(std::span<const std::uint8_t> data) const override;
    std::optional<std::uint64_t> decodeMemory(std::span<const std::uint8_t> data,
                                              const DecodeOptions& options) const override;
    // Stripped images decode a strip at a time; tiled ones whole.
    bool decodesRows(std::span<const std::uint8_t> data) const override;
    std::unique_ptr<RowDecoder> openRowDecoder(std::span<const std::uint8_t> data,
                                               const DecodeOptions& options) const override;
    std::optional<std::uint64_t> rowDecodeMemory(std::span<const std::uint8_t> data,
                                                 const DecodeOptions& options) const override;
    bool readHeaderRanges(HeaderRangeReader& reader) const override;
    DecodedImagePtr decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const override;

    std::string_view typeIdentifier() const override { return "public.tiff"; }
    MetadataWriting metadataWriting() const override { return MetadataWriting::AfterEncoding; }
    bool encode(const RgbaBitmapView& bitmap, const EncodeOptions& options,
                std::vector<std::uint8_t>& encoded) const override;
};

} // namespace pellora
