#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/imageio/Codec.h"

namespace pellora {

// The codec calls the image source and destination make, each behind the one
// boundary where a failed allocation inside a codec (a vector, a string, a
// library's C++ side) becomes one log line ("JPEG: not enough memory to
// decode") and the call's failure, so that codecs need no catch blocks of
// their own. Callbacks that libraries call from C keep theirs: no exception
// may cross a C frame.
std::optional<ImageHeader> readHeaderOf(const Codec& codec, std::span<const std::uint8_t> data);
bool readHeaderRangesOf(const Codec& codec, HeaderRangeReader& reader);
DecodedImagePtr decodeWith(const Codec& codec, std::span<const std::uint8_t> data, const DecodeOptions& options);
std::unique_ptr<RowDecoder> openRowDecoderWith(const Codec& codec, std::span<const std::uint8_t> data,
                                               const DecodeOptions& options);
bool encodeWith(const Codec& codec, const RgbaBitmapView& bitmap, const EncodeOptions& options,
                std::vector<std::uint8_t>& encoded);
bool finishAfterMetadataWith(const Codec& codec, std::vector<std::uint8_t>& encoded, const EncodeOptions& options);

} // namespace pellora
