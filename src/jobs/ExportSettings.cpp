#include "jobs/ExportSettings.h"

#include <climits>
#include <cmath>

#include "jobs/BatchController.h"
#include "model/PelloraImage.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"

namespace pellora {
namespace {

// floor(x) as a limit of at least one pixel, clamped: a huge product must not
// overflow the conversion, and a limit below 1 (a small side at a small
// percentage, an undefined product) would switch limiting off and write the
// full size.
int flooredLimit(float product) {
    if (!(product >= 1)) return 1;
    const float floored = std::floor(product);
    if (floored >= static_cast<float>(INT_MAX)) return INT_MAX;
    return static_cast<int>(floored);
}

} // namespace

ExportSettings ExportSettings::readFrom(const UserDefaults& defaults) {
    ExportSettings settings;
    settings.overwrite = defaults.boolForKey(QVXDefaultsKey_overriteExistingFilesOnExport);
    settings.type = BatchController::imageFormatCodeForSelectionIndex(
        exportFormatFromStored(defaults.integerForKey(QVXDefaultsKey_exportFormat)));
    // The identifiers are compared in the order JPEG, JPEG 2000, PNG, TIFF, BMP.
    if (settings.type == kImageTypeJPEG) {
        settings.extension = "jpg";
        settings.properties.set(kImageDestinationLossyCompressionQuality,
                                defaults.floatForKey(QVXDefaultsKey_JPEGExportQuality));
    } else if (settings.type == kImageTypeJPEG2000) {
        settings.extension = "jp2";
        settings.properties.set(kImageDestinationLossyCompressionQuality,
                                defaults.floatForKey(QVXDefaultsKey_JPEG2000ExportQuality));
    } else {
        settings.extension = settings.type == kImageTypePNG ? "png" : settings.type == kImageTypeTIFF ? "tiff" : "bmp";
        settings.properties.set(kImagePropertyHasAlpha, true);
    }
    settings.scalingMethod = scalingMethodFromStored(defaults.integerForKey(QVXDefaultsKey_scalingMethod));
    if (settings.scalingMethod == ScalingMethod::FitWithin) {
        settings.maxWidth = defaults.integerForKey(QVXDefaultsKey_scalingMaxWidth);
        settings.maxHeight = defaults.integerForKey(QVXDefaultsKey_scalingMaxHeight);
    } else if (settings.scalingMethod == ScalingMethod::LongestSide) {
        settings.maxWidth = settings.maxHeight = defaults.integerForKey(QVXDefaultsKey_scalingMaxWidthOrHeight);
    }
    return settings;
}

std::string outputPathForSource(const std::string& folder, const std::string& inputPath,
                                const std::string& extension) {
    const std::string base = path::stringByDeletingPathExtension(path::lastPathComponent(inputPath));
    return path::stringByAppendingPathComponent(folder, base + "." + extension);
}

std::string outputPathForRecord(const std::string& folder, const PelloraImage& record, const std::string& extension) {
    const std::string& subfolder = record.outputSubfolder();
    return outputPathForSource(subfolder.empty() ? folder : path::stringByAppendingPathComponent(folder, subfolder),
                               record.inputPath(), extension);
}

PixelLimits percentageLimits(Size uprightSize, float percentage) {
    return PixelLimits{flooredLimit(uprightSize.width * percentage), flooredLimit(uprightSize.height * percentage)};
}

} // namespace pellora
