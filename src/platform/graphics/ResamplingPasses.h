#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/graphics/LanczosTaps.h"

namespace pellora {

// The two passes of the resampler over 8-bit premultiplied RGBA, with 16-bit
// fixed-point weights. Both give exactly the integer sums of the plain loops,
// whatever instruction set they run on.

// One row of output (taps.size() pixels) from one source row; pixels are 4 bytes apart.
void horizontalPass(const LanczosTaps& taps, const std::uint8_t* in, std::uint8_t* out);

// One row of output from `count` rows of the intermediate image starting at
// `in`, `stride` bytes apart; sums holds stride values of scratch. Ringing may
// push a colour above its alpha: it is clamped so the result stays valid
// premultiplied RGBA.
void verticalPass(const std::int16_t* weight, int count, const std::uint8_t* in, std::size_t stride,
                  std::int32_t* sums, std::uint8_t* out);

} // namespace pellora
