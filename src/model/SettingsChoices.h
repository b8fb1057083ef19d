#pragma once

namespace pellora {

// The choices the settings store as integers. The numbers are what the
// settings file holds, so they never change; a stored number outside the
// list reads as the fallback named below.

// How the export limits the output size (the scaling pop-up's items in order).
enum class ScalingMethod : int {
    FitWithin = 0,    // within the maximum width and height
    LongestSide = 1,  // within the maximum side
    Percentage = 2,   // a share of each side
    FullSize = 3,     // no limit; also any other stored number
};

// The output format (the format pop-up's items in order).
enum class ExportFormat : int {
    JPEG = 0,  // also any stored number outside the list
    JPEG2000 = 1,
    PNG = 2,
    TIFF = 3,
    BMP = 4,
};

inline ScalingMethod scalingMethodFromStored(int stored) {
    return stored >= 0 && stored <= 2 ? static_cast<ScalingMethod>(stored) : ScalingMethod::FullSize;
}

inline ExportFormat exportFormatFromStored(int stored) {
    return stored >= 0 && stored <= 4 ? static_cast<ExportFormat>(stored) : ExportFormat::JPEG;
}

inline int storedValue(ScalingMethod method) { return static_cast<int>(method); }
inline int storedValue(ExportFormat format) { return static_cast<int>(format); }

} // namespace pellora
