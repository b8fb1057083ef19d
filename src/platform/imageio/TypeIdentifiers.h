#pragma once

namespace pellora {

// Uniform type identifiers of the formats Pellora writes, each defined once.
inline constexpr const char* kUTTypeJPEG = "public.jpeg";
inline constexpr const char* kUTTypeJPEG2000 = "public.jpeg-2000";
inline constexpr const char* kUTTypePNG = "public.png";
inline constexpr const char* kUTTypeTIFF = "public.tiff";
inline constexpr const char* kUTTypeBMP = "com.microsoft.bmp";

} // namespace pellora
