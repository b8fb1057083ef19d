#pragma once

#include <cstdint>

namespace pellora {

// Conversions of one row of the renderer's bitmap (8-bit RGBA, alpha
// premultiplied and last) into what the encoders store.

// Opaque RGB, composited over white. For premultiplied input the composite is
// colour + (255 - alpha), exact in 8 bits; colour above alpha (not a valid
// premultiplied pixel) is clamped to white.
void compositeRowOverWhite(const std::uint8_t* rgba, std::uint32_t width, std::uint8_t* rgb);

// Straight (not premultiplied) RGBA: colour × 255 / alpha, rounded and clamped;
// a fully transparent pixel becomes 0, 0, 0, 0. Premultiplying the result again
// gives back the input exactly.
void unpremultiplyRow(const std::uint8_t* rgba, std::uint32_t width, std::uint8_t* straight);

} // namespace pellora
