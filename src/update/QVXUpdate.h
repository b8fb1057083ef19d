#pragma once

#include <string>

#include "platform/foundation/URLFetch.h"
#include "platform/foundation/UserDefaults.h"
#include "update/AlertPresenter.h"
#include "update/URLOpener.h"

namespace pellora {

// Posted with no object when a check finds an update, before its alert; the Update pane refreshes on it.
inline constexpr const char* QVXUpdateNotification_defaultsDidChange = "QVXUpdate: Defaults Did Change Notification";
// Posted with no user-info at the end of every check that got a published version.
inline constexpr const char* QVXUpdateNotification_finishedCheckingForUpdates =
    "QVXUpdate finished checking for updates";

// What a check reaches besides the update database: the user, through alerts
// and the browser, the settings store it writes to, and the limits of its fetch.
struct QVXUpdateEnvironment {
    AlertPresenter& alertPresenter;
    URLOpener& urlOpener;
    UserDefaults& defaults = UserDefaults::standard();
    URLFetchLimits fetchLimits = {};
};

// Finds out whether a version other than the running one is published, and
// tells the user. The update database is an XML property list whose root
// dictionary has one entry per application name, each a dictionary with
// "Current Version" and "Download URL" strings. A checker serves one check;
// every caller makes a new one. Its texts come from the string table "QVXUpdate".
class QVXUpdate {
public:
    static QVXUpdate updateForApplication(std::string application, std::string dictURL,
                                          const QVXUpdateEnvironment& environment);
    QVXUpdate(std::string application, std::string dictURL, const QVXUpdateEnvironment& environment);

    const std::string& application() const { return _application; }
    const std::string& dictURL() const { return _dictURL; }
    void setApplication(std::string application) { _application = std::move(application); }
    void setDictURL(std::string dictURL) { _dictURL = std::move(dictURL); }

    // One synchronous check on the calling thread. A published version that
    // differs in any way from runningAppVersion is offered as an update (with
    // "Don't Ask Again", which stores false under autoCheckKey, only when the
    // user did not ask); an equal one is reported only when the user asked.
    // Either way the date goes under lastCheckKey and the finished
    // notification is posted. Without a published version (no answer, no
    // property list, no entry) the check logs "Check for updates timed out.",
    // tells a user who asked why in an alert, and does nothing else. Alerts are application-modal whatever sheetModal says.
    void checkForUpdates(bool userAsked, const std::string& runningAppVersion, const std::string& autoCheckKey,
                         const std::string& lastCheckKey, bool sheetModal);

    // Opens an absolute http or https URL with a host in the browser; anything
    // else opens nothing and logs one line.
    void downloadUpdateWithURL(const std::string& url);
    void disableAutoCheckWithKey(const std::string& key);
    void logLastCheckedDate(const std::string& key);
    void broadcastFinishedCheckingForUpdates();

private:
    // The alert that says why a check the user asked for got no published version.
    void reportFailure(const URLFetchFailure& failure);
    void offerUpdate(bool userAsked, const std::string& publishedVersion, const std::string& downloadURL,
                     const std::string& autoCheckKey);

    std::string _application;
    std::string _dictURL;
    QVXUpdateEnvironment _environment;
};

} // namespace pellora
