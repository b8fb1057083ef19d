#pragma once

namespace pellora {

// Settings keys, each defined once; code uses these names, never the literals.
inline constexpr const char* QVXDefaultsKey_scalingMethod = "ScalingMethod";
inline constexpr const char* QVXDefaultsKey_scalingMaxWidthOrHeight = "ScalingMaxWidthOrHeight";
inline constexpr const char* QVXDefaultsKey_scalingMaxWidth = "ScalingMaxWidth";
inline constexpr const char* QVXDefaultsKey_scalingMaxHeight = "ScalingMaxHeight";
inline constexpr const char* QVXDefaultsKey_scalingPercentage = "ScalingPercentage";
inline constexpr const char* QVXDefaultsKey_exportFormat = "ExportFormat";
inline constexpr const char* QVXDefaultsKey_JPEGExportQuality = "JPEGExportQuality";
inline constexpr const char* QVXDefaultsKey_JPEG2000ExportQuality = "JPEG2000ExportQuality";
inline constexpr const char* QVXDefaultsKey_exportDestination = "ExportDestination";
inline constexpr const char* QVXDefaultsKey_exportStaticLocation = "ExportStaticLocation";
inline constexpr const char* QVXDefaultsKey_overriteExistingFilesOnExport = "OverriteExistingFilesOnExport";
inline constexpr const char* QVXDefaultsKey_preserveMetadata = "PreserveImageMetadata";
inline constexpr const char* QVXDefaultsKey_hardRotate = "HardRotateImages";
inline constexpr const char* QVXUpdateDefaultsKey_checkAtlaunch = "QVXUpdate: Check at launch";
inline constexpr const char* QVXUpdateDefaultsKey_lastChecked = "QVXUpdate: Last checked";

// Names under which window frames are saved.
inline constexpr const char* QVXDefaultsKey_mainWindowFrame = "MainWindow Frame";
inline constexpr const char* QVXDefaultsKey_viewerFrame = "Viewer Frame";

// The default export folder before tilde expansion.
inline constexpr const char* QVXDefaultExportFolder = "~/Pictures/Pellora Images";

} // namespace pellora
