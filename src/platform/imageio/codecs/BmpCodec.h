#pragma once

#include "platform/imageio/Codec.h"

namespace pellora {

// Windows bitmaps, read and written here (the format is small): core,
// BITMAPINFOHEADER, V2/V3, V4 and V5 headers; 1, 4 and 8-bit palettes, 16, 24
// and 32-bit pixels with bit fields, RLE4 and RLE8; bottom-up and top-down;
// pixels per metre as the resolution, a V5 embedded profile as the ICC profile.
// Writes 24-bit without alpha and 32-bit (V5, bit fields) with alpha.
class BmpCodec final : public Codec {
public:
    std::string_view name() const override { return "BMP"; }
    std::vector<std::string> extensions() const override { return {"bmp", "dib"}; }
    bool sniff(std::span<const std::uint8_t> head) const override;
    std::optional<ImageHeader> readHeader(std::span<const std::uint8_t> data) const override;
    DecodedImagePtr decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const override;
    std::string_view typeIdentifier() const override;
    // The whole file, four bytes a pixel at most, is built in memory.
    std::uint64_t encodeMemory(std::uint32_t width, std::uint32_t height) const override {
        return std::uint64_t{width} * height * 4;
    }
    bool encode(const RgbaBitmapView& bitmap, const EncodeOptions& options,
                std::vector<std::uint8_t>& encoded) const override;
};

} // namespace pellora
