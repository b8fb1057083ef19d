// The preferences window, made on first use, and the update check of the menu.
#include "app/MainController.h"
#include "ui/PreferencesController.h"
#include "ui/UpdateCheckService.h"

namespace pellora {

PreferencesController& MainController::preferencesController() {
    if (!_preferencesController) {
        _preferencesController = std::make_unique<PreferencesController>(_updateChecks->environment());
    }
    return *_preferencesController;
}

void MainController::showPreferences() {
    preferencesController().showWindow();
}

void MainController::checkForUpdates() {
    _updateChecks->checkForUpdates();
}

} // namespace pellora
