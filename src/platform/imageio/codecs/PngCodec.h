#pragma once

#include "platform/imageio/Codec.h"

namespace pellora {

// PNG over libpng: every colour type and bit depth (1, 2 and 4-bit grey widened
// to 8, palettes expanded with their tRNS transparency, 16-bit kept as 16-bit),
// interlaced or not; iCCP kept as the ICC profile, pHYs as the resolution;
// gAMA and cHRM ignored, as most image tools do.
class PngCodec final : public Codec {
public:
    std::string_view name() const override { return "PNG"; }
    std::vector<std::string> extensions() const override { return {"png"}; }
    bool sniff(std::span<const std::uint8_t> head) const override;
    std::optional<ImageHeader> readHeader(std::span<const std::uint8_t> data) const override;
    std::optional<std::uint64_t> decodeMemory(std::span<const std::uint8_t> data,
                                              const DecodeOptions& options) const override;
    DecodedImagePtr decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const override;
    // Rows one at a time, for files that are not interlaced.
    bool decodesRows(std::span<const std::uint8_t> data) const override;
    std::unique_ptr<RowDecoder> openRowDecoder(std::span<const std::uint8_t> data,
                                               const DecodeOptions& options) const override;
    std::optional<std::uint64_t> rowDecodeMemory(std::span<const std::uint8_t> data,
                                                 const DecodeOptions& options) const override;
    // Every chunk but the image data's payloads, walked up to IEND.
    bool readHeaderRanges(HeaderRangeReader& reader) const override;
    std::string_view typeIdentifier() const override;
    MetadataWriting metadataWriting() const override { return MetadataWriting::ByEncoder; }
    bool encode(const RgbaBitmapView& bitmap, const EncodeOptions& options,
                std::vector<std::uint8_t>& encoded) const override;
};

} // namespace pellora
