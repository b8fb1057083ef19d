#include "platform/imageio/Codec.h"

#include "platform/imageio/ImageLimits.h"

namespace pellora {

std::optional<std::uint64_t> Codec::decodeMemory(std::span<const std::uint8_t> data,
                                                 const DecodeOptions& /*options*/) const {
    const auto header = readHeader(data);
    if (!header) return std::nullopt;
    return decodedImageBytes(*header);
}

} // namespace pellora
