#pragma once

#include "platform/imageio/Codec.h"

namespace pellora {

// GIF over giflib, decode only: the first frame composited onto the logical
// screen, its transparent colour and any uncovered area as alpha.
class GifCodec final : public Codec {
public:
    std::string_view name() const override { return "GIF"; }
    std::vector<std::string> extensions() const override { return {"gif"}; }
    bool sniff(std::span<const std::uint8_t> head) const override;
    std::optional<ImageHeader> readHeader(std::span<const std::uint8_t> data) const override;
    DecodedImagePtr decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const override;
};

} // namespace pellora
