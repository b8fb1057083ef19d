#pragma once

#include "platform/imageio/Codec.h"

namespace pellora {

// JPEG over libjpeg(-turbo): baseline and progressive, grey, YCbCr/RGB, CMYK
// and YCCK (Adobe-inverted CMYK flagged), ICC profiles from APP2, JFIF density,
// and DCT scaling by M/8 for reduced-scale decodes; rows one at a time too.
class JpegCodec final : public Codec {
public:
    std::string_view name() const override { return "JPEG"; }
    std::vector<std::string> extensions() const override;
    bool sniff(std::span<const std::uint8_t> head) const override;
    std::optional<ImageHeader> readHeader(std::span<const std::uint8_t> data) const override;
    std::optional<std::uint64_t> decodeMemory(std::span<const std::uint8_t> data,
                                              const DecodeOptions& options) const override;
    DecodedImagePtr decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const override;
    bool decodesRows(std::span<const std::uint8_t> /*data*/) const override { return true; }
    std::unique_ptr<RowDecoder> openRowDecoder(std::span<const std::uint8_t> data,
                                               const DecodeOptions& options) const override;
    std::optional<std::uint64_t> rowDecodeMemory(std::span<const std::uint8_t> data,
                                                 const DecodeOptions& options) const override;
    // The segments up to the first scan, read as a prefix in growing chunks.
    bool readHeaderRanges(HeaderRangeReader& reader) const override;
    std::string_view typeIdentifier() const override;
    MetadataWriting metadataWriting() const override { return MetadataWriting::AfterEncoding; }
    bool encode(const RgbaBitmapView& bitmap, const EncodeOptions& options,
                std::vector<std::uint8_t>& encoded) const override;
};

} // namespace pellora
