#pragma once

#include <atomic>
#include <thread>

#include "platform/foundation/MainThread.h"
#include "ui/QtAlertPresenter.h"
#include "ui/QtURLOpener.h"
#include "update/QVXUpdate.h"

namespace pellora {

// The window side of the update checker: the alert presenter and the browser
// that checks reach, the check the user asks for, and the check at launch on
// a thread of its own. Ending the run takes two steps: cancel() while the main
// thread still serves hand-overs, then the destructor, which waits for the
// launch check (about a second at most once cancelled).
class UpdateCheckService {
public:
    explicit UpdateCheckService(MainThreadDispatcher& mainThread);
    ~UpdateCheckService();
    UpdateCheckService(const UpdateCheckService&) = delete;
    UpdateCheckService& operator=(const UpdateCheckService&) = delete;

    // What every check of this run uses; valid while the service lives.
    QVXUpdateEnvironment environment();

    // A check the user asked for, on the calling thread (the main thread):
    // returns once its alert, if any, has been answered.
    void checkForUpdates();
    // Starts the automatic check on a thread of its own when "QVXUpdate: Check
    // at launch" is on; otherwise starts nothing and reaches no network.
    void checkForUpdatesAtLaunch();
    bool launchCheckStarted() const { return _launchCheck.joinable(); }

    // Alerts no longer open and a fetch under way ends at once.
    void cancel();

private:
    QtAlertPresenter _alertPresenter;
    QtURLOpener _urlOpener;
    std::atomic<bool> _cancelled{false};
    std::thread _launchCheck;
};

} // namespace pellora
