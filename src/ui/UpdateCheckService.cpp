#include "ui/UpdateCheckService.h"

#include "update/PelloraUpdateCheck.h"

namespace pellora {

UpdateCheckService::UpdateCheckService(MainThreadDispatcher& mainThread)
    : _alertPresenter(mainThread), _urlOpener(mainThread) {}

UpdateCheckService::~UpdateCheckService() {
    cancel();
    if (_launchCheck.joinable()) {
        _launchCheck.join();
    }
}

QVXUpdateEnvironment UpdateCheckService::environment() {
    QVXUpdateEnvironment environment{_alertPresenter, _urlOpener, UserDefaultsController::sharedUserDefaultsController().defaults()};
    environment.fetchLimits.cancel = &_cancelled;
    return environment;
}

void UpdateCheckService::checkForUpdates() {
    pellora::checkForUpdates(true, environment());
}

void UpdateCheckService::checkForUpdatesAtLaunch() {
    if (!_launchCheck.joinable()) {
        _launchCheck = pellora::checkForUpdatesAtLaunch(environment());
    }
}

void UpdateCheckService::cancel() {
    _alertPresenter.close();
    _cancelled = true;
}

} // namespace pellora
