#include "model/Settings.h"

#include "model/SettingsKeys.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"

namespace pellora {

PlistDictionary defaultSettings() {
    PlistDictionary defaults;
    defaults.set(QVXDefaultsKey_scalingMethod, 0);
    defaults.set(QVXDefaultsKey_scalingMaxWidthOrHeight, 1024);
    defaults.set(QVXDefaultsKey_scalingMaxWidth, 1024);
    defaults.set(QVXDefaultsKey_scalingMaxHeight, 768);
    defaults.set(QVXDefaultsKey_scalingPercentage, 0.5f);
    defaults.set(QVXDefaultsKey_exportFormat, 0);
    defaults.set(QVXDefaultsKey_JPEGExportQuality, 0.8f);
    defaults.set(QVXDefaultsKey_JPEG2000ExportQuality, 0.8f);
    defaults.set(QVXDefaultsKey_exportDestination, 0);
    defaults.set(QVXDefaultsKey_exportStaticLocation, path::stringByExpandingTildeInPath(QVXDefaultExportFolder));
    defaults.set(QVXDefaultsKey_overriteExistingFilesOnExport, false);
    defaults.set(QVXDefaultsKey_preserveMetadata, true);
    defaults.set(QVXDefaultsKey_hardRotate, true);
    defaults.set(QVXUpdateDefaultsKey_checkAtlaunch, true);
    return defaults;
}

void registerDefaults() {
    const PlistDictionary defaults = defaultSettings();
    UserDefaultsController& controller = UserDefaultsController::sharedUserDefaultsController();
    controller.defaults().registerDefaults(defaults);
    controller.setInitialValues(defaults);
    controller.setAppliesImmediately(true);
}

} // namespace pellora
