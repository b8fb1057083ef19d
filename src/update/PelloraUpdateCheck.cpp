#include "update/PelloraUpdateCheck.h"

#include <cstdlib>

#include "model/SettingsKeys.h"

namespace pellora {
namespace {

constexpr const char* kApplicationName = "Pellora";

} // namespace

std::string updateDatabaseURL() {
    const char* replacement = std::getenv(PelloraUpdateURLVariable);
    if (replacement && *replacement) return replacement;
    return QVXUpdateDefaultsKey_versionsDictURL;
}

std::string runningAppVersion() { return PELLORA_VERSION; }

void checkForUpdates(bool userAsked, const QVXUpdateEnvironment& environment) {
    QVXUpdate update = QVXUpdate::updateForApplication(kApplicationName, updateDatabaseURL(), environment);
    update.checkForUpdates(userAsked, runningAppVersion(), QVXUpdateDefaultsKey_checkAtlaunch,
                           QVXUpdateDefaultsKey_lastChecked, false);
}

std::thread checkForUpdatesAtLaunch(const QVXUpdateEnvironment& environment) {
    if (!environment.defaults.boolForKey(QVXUpdateDefaultsKey_checkAtlaunch)) return {};
    return std::thread([environment] { checkForUpdates(false, environment); });
}

} // namespace pellora
