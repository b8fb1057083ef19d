#pragma once

#include "platform/imageio/Codec.h"

namespace pellora {

// JPEG 2000 over OpenJPEG: .jp2 files and bare codestreams, decoded at a
// reduced resolution level when the caller allows it. Writes .jp2 files.
class Jpeg2000Codec final : public Codec {
public:
    std::string_view name() const override { return "JPEG 2000"; }
    std::vector<std::string> extensions() const override { return {"jp2", "j2k", "j2c", "jpc"}; }
    bool sniff(std::span<const std::uint8_t> head) const override;
    std::optional<ImageHeader> readHeader(std::span<const std::uint8_t> data) const override;
    bool readHeaderRanges(HeaderRangeReader& reader) const override;
    std::optional<std::uint64_t> decodeMemory(std::span<const std::uint8_t> data,
                                              const DecodeOptions& options) const override;
    DecodedImagePtr decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const override;

    std::string_view typeIdentifier() const override { return "public.jpeg-2000"; }
    // OpenJPEG's image holds four 32-bit components a pixel; a lossless and a
    // lossy code stream may both be in memory.
    std::uint64_t encodeMemory(std::uint32_t width, std::uint32_t height) const override {
        return std::uint64_t{width} * height * (4 * 4 + 2);
    }
    // Exiv2 rebuilds the header box without the resolution box: it is added back.
    bool finishAfterMetadata(std::vector<std::uint8_t>& encoded, const EncodeOptions& options) const override;
    MetadataWriting metadataWriting() const override { return MetadataWriting::AfterEncoding; }
    bool encode(const RgbaBitmapView& bitmap, const EncodeOptions& options,
                std::vector<std::uint8_t>& encoded) const override;
};

} // namespace pellora
