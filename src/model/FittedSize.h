#pragma once

#include <cstdint>

namespace pellora {

struct PixelSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool operator==(const PixelSize&) const = default;
};

// The size of an upright width x height picture made to fit within
// maxWidth x maxHeight, never enlarged. The side with the smaller ratio of
// limit to side becomes exactly its limit, the other floor(side * ratio), at
// least 1; all in whole numbers, so no side comes out a pixel short. A picture
// within both limits, an empty one, or a limit below 1 leave the size as it is.
PixelSize sizeFittedWithin(PixelSize picture, int maxWidth, int maxHeight);

} // namespace pellora
