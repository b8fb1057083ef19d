#include "platform/imageio/Codec.h"

#include "platform/imageio/ImageLimits.h"
#include "platform/imageio/RowDecoder.h"
#include "platform/foundation/Log.h"

namespace pellora {

std::optional<std::uint64_t> Codec::decodeMemory(std::span<const std::uint8_t> data,
                                                 const DecodeOptions& /*options*/) const {
    const auto header = readHeader(data);
    if (!header) return std::nullopt;
    return decodedImageBytes(*header);
}

std::unique_ptr<RowDecoder> Codec::openRowDecoder(std::span<const std::uint8_t> /*data*/,
                                                  const DecodeOptions& /*options*/) const {
    Log::line(std::string(name()) + ": rows cannot be decoded one band at a time");
    return nullptr;
}

} // namespace pellora
