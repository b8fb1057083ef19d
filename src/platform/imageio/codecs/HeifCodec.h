#pragma once

#include "platform/imageio/Codec.h"

namespace pellora {

// HEIF over libheif, decode only: the primary image, upright (libheif applies
// the file's rotation, mirror and crop), 8-bit or 16-bit for deeper files.
class HeifCodec final : public Codec {
public:
    std::string_view name() const override { return "HEIF"; }
    std::vector<std::string> extensions() const override { return {"heic", "heif", "hif"}; }
    bool sniff(std::span<const std::uint8_t> head) const override;
    std::optional<ImageHeader> readHeader(std::span<const std::uint8_t> data) const override;
    bool readHeaderRanges(HeaderRangeReader& reader) const override;
    DecodedImagePtr decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const override;
};

} // namespace pellora
