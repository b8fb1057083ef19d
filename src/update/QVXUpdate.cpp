#include "update/QVXUpdate.h"

#include <chrono>
#include <fmt/format.h>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"

namespace pellora {
namespace {

constexpr const char* kStringTable = "QVXUpdate";
constexpr const char* kCurrentVersionKey = "Current Version";
constexpr const char* kDownloadURLKey = "Download URL";
// A hostile database could make a download URL of a megabyte; the log quotes its start.
constexpr std::size_t kLoggedURLLength = 200;

std::string text(const char* key) { return localizedStringForKey(key, "", kStringTable); }

std::string quotedForLog(const std::string& url) {
    if (url.size() <= kLoggedURLLength) return "\"" + url + "\"";
    return "\"" + url.substr(0, kLoggedURLLength) + "...\"";
}

} // namespace

QVXUpdate QVXUpdate::updateForApplication(std::string application, std::string dictURL,
                                          const QVXUpdateEnvironment& environment) {
    return QVXUpdate(std::move(application), std::move(dictURL), environment);
}

QVXUpdate::QVXUpdate(std::string application, std::string dictURL, const QVXUpdateEnvironment& environment)
    : _application(std::move(application)), _dictURL(std::move(dictURL)), _environment(environment) {}

void QVXUpdate::checkForUpdates(bool userAsked, const std::string& runningAppVersion, const std::string& autoCheckKey,
                                const std::string& lastCheckKey, [[maybe_unused]] bool sheetModal) {
    Log::line("Checking for updates...");
    // Every failure to get a published version is reported by the one line
    // below, so the fetch's own reason is not logged.
    std::string fetchError;
    URLFetchFailure fetchFailure;
    const PlistValue database =
        dictionaryWithContentsOfURL(_dictURL, _environment.fetchLimits, &fetchError, &fetchFailure);
    const PlistDictionary& entry = database.dictionaryValue().get(_application).dictionaryValue();
    const PlistValue& publishedVersion = entry.get(kCurrentVersionKey);

    if (publishedVersion.isString() && publishedVersion.stringValue() == runningAppVersion) {
        Log::line(fmt::format("{} is up-to-date.", _application));
        if (userAsked) {
            _environment.alertPresenter.runModal(
                Alert{stringWithFormat(text("Up-To-Date window title"), {_application}),
                      stringWithFormat(text("Up-To-Date window body"), {_application, publishedVersion.stringValue()}),
                      {text("OK")}});
        }
    } else if (publishedVersion.isNull()) {
        Log::line("Check for updates timed out.");
        // A user who asked is told why; the check at launch stays silent. A
        // database without our entry or version was fetched but not understood.
        if (userAsked) {
            reportFailure(database.isNull() ? fetchFailure : URLFetchFailure{URLFetchFailure::Kind::NotUnderstood, 0});
        }
        return;
    } else {
        // Any difference is an update, a lower or a differently spelled version too.
        offerUpdate(userAsked, publishedVersion.description(), entry.get(kDownloadURLKey).stringValue(), autoCheckKey);
    }
    logLastCheckedDate(lastCheckKey);
    broadcastFinishedCheckingForUpdates();
}

void QVXUpdate::reportFailure(const URLFetchFailure& failure) {
    std::string reason;
    switch (failure.kind) {
    case URLFetchFailure::Kind::Cancelled:
        return;  // the application is quitting
    case URLFetchFailure::Kind::NoConnection:
        reason = text("Check Failed - no connection");
        break;
    case URLFetchFailure::Kind::ErrorStatus:
        reason = stringWithFormat(text("Check Failed - error status"), {std::to_string(failure.status)});
        break;
    case URLFetchFailure::Kind::NotUnderstood:
        reason = text("Check Failed - not understood");
        break;
    }
    _environment.alertPresenter.runModal(
        Alert{stringWithFormat(text("Check Failed window title"), {_application}), reason, {text("OK")}});
}

void QVXUpdate::offerUpdate(bool userAsked, const std::string& publishedVersion, const std::string& downloadURL,
                            const std::string& autoCheckKey) {
    Log::line(fmt::format("{} version {} is available.", _application, publishedVersion));
    NotificationCenter::defaultCenter().post(QVXUpdateNotification_defaultsDidChange);

    Alert alert{text("Update Available window title"),
                stringWithFormat(text("Update Available window body"), {_application, publishedVersion}),
                {text("Yes")}};
    // "Don't Ask Again" would switch off the automatic check, so only that check offers it.
    if (!userAsked) alert.buttonTitles.push_back(text("Don't Ask Again"));
    alert.buttonTitles.push_back(text("No"));
    constexpr int yes = 0;
    constexpr int dontAskAgain = 1;

    const int choice = _environment.alertPresenter.runModal(alert);
    if (choice == yes) {
        downloadUpdateWithURL(downloadURL);
    } else if (!userAsked && choice == dontAskAgain) {
        disableAutoCheckWithKey(autoCheckKey);
    }
}

void QVXUpdate::downloadUpdateWithURL(const std::string& url) {
    const std::optional<std::string> webURL = normalizedWebURL(url);
    if (!webURL) {
        Log::line(fmt::format("QVXUpdate: Not opening download URL {}: not an http or https address with a host",
                              quotedForLog(url)));
        return;
    }
    if (!_environment.urlOpener.openURL(*webURL)) {
        Log::line(fmt::format("QVXUpdate: Could not open {}", quotedForLog(*webURL)));
    }
}

void QVXUpdate::disableAutoCheckWithKey(const std::string& key) { _environment.defaults.setObject(false, key); }

void QVXUpdate::logLastCheckedDate(const std::string& key) {
    _environment.defaults.setObject(std::chrono::system_clock::now(), key);
}

void QVXUpdate::broadcastFinishedCheckingForUpdates() {
    NotificationCenter::defaultCenter().post(QVXUpdateNotification_finishedCheckingForUpdates);
}

} // namespace pellora
