#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/imageio/Codec.h"
#include "platform/imageio/Image.h"

namespace pellora {

// True when a width × height image may be decoded under limits. Otherwise logs
// one line naming the codec and the size, and returns false. Zero sizes are refused too.
bool fitsDecodeLimits(std::string_view codec, std::uint64_t width, std::uint64_t height, const DecodeLimits& limits);

// The bytes of the decoded pixels of an image with this header at full size:
// its colour components (indexed colours expanded to RGB) and alpha, at one
// byte a sample up to 8 bits, two for 16 and four for floats.
std::uint64_t decodedImageBytes(const ImageHeader& header);

// A zero-filled pixel buffer for a decoded image of the given shape, its size
// computed with overflow checks. nullptr (after one log line) when the size
// does not fit in memory or cannot be allocated.
std::shared_ptr<DecodedImage> allocateDecodedImage(std::string_view codec, std::uint32_t width, std::uint32_t height,
                                                   ColorModel colorModel, SampleFormat sampleFormat, bool hasAlpha);

} // namespace pellora
