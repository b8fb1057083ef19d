#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PlistXml.h"
#include "update/AlertPresenter.h"
#include "update/QVXUpdate.h"
#include "update/URLOpener.h"

namespace pellora::test {

// Records each alert and answers with the scripted choices in turn (-1 once they run out).
class ScriptedAlertPresenter final : public AlertPresenter {
public:
    explicit ScriptedAlertPresenter(std::deque<int> choices = {}) : _choices(std::move(choices)) {}
    void answer(int choice) {
        std::lock_guard lock(_mutex);
        _choices.push_back(choice);
    }
    int runModal(const Alert& alert) override {
        std::lock_guard lock(_mutex);
        _alerts.push_back(alert);
        _updateNotificationsBeforeAlert.push_back(_updateNotificationsSoFar);
        if (_choices.empty()) return -1;
        const int choice = _choices.front();
        _choices.pop_front();
        return choice;
    }
    std::vector<Alert> alerts() const {
        std::lock_guard lock(_mutex);
        return _alerts;
    }
    // Counts "Defaults Did Change" notifications so a test can see whether one came before an alert.
    void noteUpdateNotification() {
        std::lock_guard lock(_mutex);
        ++_updateNotificationsSoFar;
    }
    std::vector<int> updateNotificationsBeforeAlert() const {
        std::lock_guard lock(_mutex);
        return _updateNotificationsBeforeAlert;
    }

private:
    mutable std::mutex _mutex;
    std::deque<int> _choices;
    std::vector<Alert> _alerts;
    int _updateNotificationsSoFar = 0;
    std::vector<int> _updateNotificationsBeforeAlert;
};

class RecordingURLOpener final : public URLOpener {
public:
    bool openURL(const std::string& url) override {
        std::lock_guard lock(_mutex);
        _opened.push_back(url);
        return true;
    }
    std::vector<std::string> opened() const {
        std::lock_guard lock(_mutex);
        return _opened;
    }

private:
    mutable std::mutex _mutex;
    std::vector<std::string> _opened;
};

// Counts the checker's two notifications on the default centre while alive.
class UpdateNotifications {
public:
    explicit UpdateNotifications(ScriptedAlertPresenter& alerts) {
        NotificationCenter& center = NotificationCenter::defaultCenter();
        _tokens[0] = center.addObserver(QVXUpdateNotification_defaultsDidChange,
                                        [this, &alerts](const std::string&, const PlistValue&) {
                                            alerts.noteUpdateNotification();
                                            std::lock_guard lock(_mutex);
                                            ++_defaultsDidChange;
                                        });
        _tokens[1] = center.addObserver(QVXUpdateNotification_finishedCheckingForUpdates,
                                        [this](const std::string&, const PlistValue& userInfo) {
                                            std::lock_guard lock(_mutex);
                                            ++_finished;
                                            _finishedUserInfoEmpty = _finishedUserInfoEmpty && userInfo.isNull();
                                        });
    }
    ~UpdateNotifications() {
        for (const auto token : _tokens) NotificationCenter::defaultCenter().removeObserver(token);
    }
    int defaultsDidChange() const {
        std::lock_guard lock(_mutex);
        return _defaultsDidChange;
    }
    int finished() const {
        std::lock_guard lock(_mutex);
        return _finished;
    }
    bool finishedUserInfoEmpty() const {
        std::lock_guard lock(_mutex);
        return _finishedUserInfoEmpty;
    }

private:
    mutable std::mutex _mutex;
    NotificationCenter::Token _tokens[2] = {};
    int _defaultsDidChange = 0;
    int _finished = 0;
    bool _finishedUserInfoEmpty = true;
};

// An update database with one entry for application.
inline std::string updateDatabase(const std::string& application, const PlistDictionary& entry) {
    return writePlistXml(
        PlistDictionary{{"Other App", PlistDictionary{{"Current Version", "9.9"}}}, {application, entry}});
}

} // namespace pellora::test
