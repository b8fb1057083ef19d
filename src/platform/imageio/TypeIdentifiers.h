#pragma once

namespace pellora {

// Type identifiers of the formats Pellora writes, each defined once.
inline constexpr const char* kImageTypeJPEG = "public.jpeg";
inline constexpr const char* kImageTypeJPEG2000 = "public.jpeg-2000";
inline constexpr const char* kImageTypePNG = "public.png";
inline constexpr const char* kImageTypeTIFF = "public.tiff";
inline constexpr const char* kImageTypeBMP = "com.microsoft.bmp";

} // namespace pellora
