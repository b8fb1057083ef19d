#include "platform/imageio/CodecCalls.h"

#include <fmt/format.h>
#include <new>
#include <string_view>

#include "platform/foundation/Log.h"
#include "platform/imageio/RowDecoder.h"

namespace pellora {
namespace {

// call()'s result, or failed after one log line when it runs out of memory.
template <typename Result, typename Call>
Result withinMemory(const Codec& codec, std::string_view doing, Result failed, Call&& call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        Log::line(fmt::format("{}: not enough memory to {}", codec.name(), doing));
        return failed;
    }
}

} // namespace

std::optional<ImageHeader> readHeaderOf(const Codec& codec, std::span<const std::uint8_t> data) {
    return withinMemory(codec, "read the header", std::optional<ImageHeader>{},
                        [&] { return codec.readHeader(data); });
}

bool readHeaderRangesOf(const Codec& codec, HeaderRangeReader& reader) {
    return withinMemory(codec, "read the header", false, [&] { return codec.readHeaderRanges(reader); });
}

DecodedImagePtr decodeWith(const Codec& codec, std::span<const std::uint8_t> data, const DecodeOptions& options) {
    return withinMemory(codec, "decode", DecodedImagePtr{}, [&] { return codec.decode(data, options); });
}

std::unique_ptr<RowDecoder> openRowDecoderWith(const Codec& codec, std::span<const std::uint8_t> data,
                                               const DecodeOptions& options) {
    return withinMemory(codec, "decode", std::unique_ptr<RowDecoder>{},
                        [&] { return codec.openRowDecoder(data, options); });
}

bool encodeWith(const Codec& codec, const RgbaBitmapView& bitmap, const EncodeOptions& options,
                std::vector<std::uint8_t>& encoded) {
    return withinMemory(codec, "encode", false, [&] { return codec.encode(bitmap, options, encoded); });
}

bool finishAfterMetadataWith(const Codec& codec, std::vector<std::uint8_t>& encoded, const EncodeOptions& options) {
    return withinMemory(codec, "encode", false, [&] { return codec.finishAfterMetadata(encoded, options); });
}

} // namespace pellora
