#pragma once

#include <string>

#include "model/SettingsChoices.h"
#include "platform/foundation/PlistValue.h"
#include "platform/graphics/Geometry.h"

namespace pellora {

class PelloraImage;
class UserDefaults;

// The export settings, read once at the start of a job, in this order: the
// overwrite flag, the format (with its quality for the JPEG kinds), the
// scaling method and that method's limits. The percentage is not here: the
// job reads it again for every record.
struct ExportSettings {
    bool overwrite = false;
    std::string type;       // type identifier of the output format
    std::string extension;  // "jpg", "jp2", "png", "tiff" or "bmp"
    PlistDictionary properties;  // encoder properties
    ScalingMethod scalingMethod = ScalingMethod::FitWithin;
    int maxWidth = -1;   // the limits of FitWithin and LongestSide; -1 (no limiting) for the others
    int maxHeight = -1;

    static ExportSettings readFrom(const UserDefaults& defaults);
};

// The output path of a source: its file name less its last extension, plus
// the format's, inside folder. "/in/IMG_0001.JPG", "/out", "png" -> "/out/IMG_0001.png".
std::string outputPathForSource(const std::string& folder, const std::string& inputPath,
                                const std::string& extension);

// The output path of a record: as outputPathForSource, inside the record's
// output sub-folder of folder (the folder itself when it has none).
std::string outputPathForRecord(const std::string& folder, const PelloraImage& record, const std::string& extension);

// Percentage limits: floor(width x p) and floor(height x p), each one
// single-precision product, of the size as it is seen upright; each at least
// 1, so that a percentage always limits.
struct PixelLimits {
    int maxWidth;
    int maxHeight;
};
PixelLimits percentageLimits(Size uprightSize, float percentage);

} // namespace pellora
