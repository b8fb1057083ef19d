#pragma once

#include "platform/imageio/Codec.h"

namespace pellora {

// WebP over libwebp, decode only: still images (scaled by libwebp when the
// caller allows a smaller size) and the first frame of animations, on its canvas.
class WebpCodec final : public Codec {
public:
    std::string_view name() const override { return "WebP"; }
    std::vector<std::string> extensions() const override { return {"webp"}; }
    bool sniff(std::span<const std::uint8_t> head) const override;
    std::optional<ImageHeader> readHeader(std::span<const std::uint8_t> data) const override;
    // The container's chunk headers, metadata and the image chunks' first bytes.
    bool readHeaderRanges(HeaderRangeReader& reader) const override;
    DecodedImagePtr decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const override;
};

} // namespace pellora
