#pragma once

namespace pellora {

// Keys of image property dictionaries and of encoder properties, each defined once.

// Encoder property: lossy compression quality, a fraction from 0 (smallest) to 1 (best).
inline constexpr const char* kCGImageDestinationLossyCompressionQuality = "kCGImageDestinationLossyCompressionQuality";
// Image property and encoder property: false writes the file without an alpha channel.
inline constexpr const char* kCGImagePropertyHasAlpha = "HasAlpha";

} // namespace pellora
