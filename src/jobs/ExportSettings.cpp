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

// floor(x) as an integer, clamped: a huge or undefined product must not
// overflow the conversion. NaN gives 0, which switches limiting off.
int flooredLimit(float product) {
    if (std::isnan(product)) return 0;
    const float floored = std::floor(product);
    if (floored >= static_cast<float>(INT_MAX)) return INT_MAX;
    if (floored <= static_cast<float>(INT_MIN)) return INT_MIN;
    return static_cast<int>(floored);
}

} // namespace

ExportSettings ExportSettings::readFrom(const UserDefaults& defaults) {
    ExportSettings settings;
    settings.overwrite = defaults.boolForKey(QVXDefaultsKey_overriteExistingFilesOnExport);
    settings.type = BatchController::imageFormatCodeForSelectionIndex(defaults.integerForKey(QVXDefaultsKey_exportFormat));
    // The identifiers are compared in the order JPEG, JPEG 2000, PNG, TIFF, BMP.
    if (settings.type == kUTTypeJPEG) {
        settings.extension = "jpg";
        settings.properties.set(kCGImageDestinationLossyCompressionQuality,
                                defaults.floatForKey(QVXDefaultsKey_JPEGExportQuality));
    } else if (settings.type == kUTTypeJPEG2000) {
        settings.extension = "jp2";
        settings.properties.set(kCGImageDestinationLossyCompressionQuality,
                                defaults.floatForKey(QVXDefaultsKey_JPEG2000ExportQuality));
    } else {
        settings.extension = settings.type == kUTTypePNG ? "png" : settings.type == kUTTypeTIFF ? "tiff" : "bmp";
        settings.properties.set(kCGImagePropertyHasAlpha, true);
    }
    settings.scalingMethod = defaults.integerForKey(QVXDefaultsKey_scalingMethod);
    if (settings.scalingMethod == 0) {
        settings.maxWidth = defaults.integerForKey(QVXDefaultsKey_scalingMaxWidth);
        settings.maxHeight = defaults.integerForKey(QVXDefaultsKey_scalingMaxHeight);
    } else if (settings.scalingMethod == 1) {
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
