#pragma once

#include <deque>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PlistXml.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "update/AlertPresenter.h"
#include "update/QVXUpdate.h"
#include "update/URLOpener.h"

namespace pellora::test {

// Stands in for the user and the desktop during a check: answers each alert
// with the scripted choices in turn (-1 once they run out), records the alerts,
// the addresses it was asked to open and the checker's two notifications.
class UpdateCheckRecorder final : public AlertPresenter, public URLOpener {
    template <typename Function>
    auto locked(Function function) const {
        std::lock_guard lock(_mutex);
        return function();
    }

public:
    UpdateCheckRecorder() {
        NotificationCenter& center = NotificationCenter::defaultCenter();
        _tokens[0] = center.addObserver(QVXUpdateNotification_defaultsDidChange, [this](const std::string&, const PlistValue&) {
            locked([this] { ++_defaultsDidChange; });
        });
        _tokens[1] = center.addObserver(QVXUpdateNotification_finishedCheckingForUpdates,
                                        [this](const std::string&, const PlistValue& userInfo) {
                                            locked([&] {
                                                ++_finished;
                                                _finishedUserInfoEmpty = _finishedUserInfoEmpty && userInfo.isNull();
                                            });
                                        });
    }
    ~UpdateCheckRecorder() override {
        for (const auto token : _tokens) NotificationCenter::defaultCenter().removeObserver(token);
    }
    void answer(int choice) { locked([&] { _choices.push_back(choice); }); }
    int runModal(const Alert& alert) override {
        std::lock_guard lock(_mutex);
        _alerts.push_back(alert);
        _defaultsDidChangeBeforeAlert.push_back(_defaultsDidChange);
        if (_choices.empty()) return -1;
        const int choice = _choices.front();
        _choices.pop_front();
        return choice;
    }
    bool openURL(const std::string& url) override {
        locked([&] { _opened.push_back(url); });
        return true;
    }

    std::vector<Alert> alerts() const { return locked([&] { return _alerts; }); }
    std::vector<std::string> opened() const { return locked([&] { return _opened; }); }
    int defaultsDidChange() const { return locked([&] { return _defaultsDidChange; }); }
    int finished() const { return locked([&] { return _finished; }); }
    bool finishedUserInfoEmpty() const { return locked([&] { return _finishedUserInfoEmpty; }); }
    // For each alert, how many "Defaults Did Change" notifications came before it.
    std::vector<int> defaultsDidChangeBeforeAlert() const { return locked([&] { return _defaultsDidChangeBeforeAlert; }); }

private:
    mutable std::mutex _mutex;
    NotificationCenter::Token _tokens[2] = {};
    std::deque<int> _choices;
    std::vector<Alert> _alerts;
    std::vector<std::string> _opened;
    int _defaultsDidChange = 0;
    int _finished = 0;
    bool _finishedUserInfoEmpty = true;
    std::vector<int> _defaultsDidChangeBeforeAlert;
};

// An update database with one entry for application.
inline std::string updateDatabase(const std::string& application, const PlistDictionary& entry) {
    return writePlistXml(
        PlistDictionary{{"Other App", PlistDictionary{{"Current Version", "9.9"}}}, {application, entry}});
}

// What a check runs in: a temporary home with its settings store, the log, the
// recorder and a scripted server.
class UpdateCheckFixture : public ::testing::Test {
protected:
    QVXUpdateEnvironment environment() { return {recorder, recorder, defaults, limits}; }

    TempHome home;
    LogCapture log;
    UserDefaults defaults{home.configHome() + "/pellora/Pellora.plist"};
    UpdateCheckRecorder recorder;
    URLFetchLimits limits;
    TestHttpServer server;
};

} // namespace pellora::test
