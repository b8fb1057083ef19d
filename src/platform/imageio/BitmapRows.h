#pragma once

#include <cstddef>
#include <cstdint>

namespace pellora {

// Conversions of one row of the renderer's bitmap (8-bit RGBA, alpha
// premultiplied and last) into what the encoders store.

// Opaque RGB, composited over white. For premultiplied input the composite is
// colour + (255 - alpha), exact in 8 bits; colour above alpha (not a valid
// premultiplied pixel) is clamped to white.
void compositeRowOverWhite(const std::uint8_t* rgba, std::uint32_t width, std::uint8_t* rgb);

// True when every pixel of the rows is opaque (alpha 255).
bool isOpaqueRows(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height, std::size_t rowBytes);

// Straight (not premultiplied) RGBA: colour × 255 / alpha, rounded and clamped;
// a fully transparent pixel becomes 0, 0, 0, 0. Premultiplying the result again
// gives back the input exactly.
void unpremultiplyRow(const std::uint8_t* rgba, std::uint32_t width, std::uint8_t* straight);

} // namespace pellora
