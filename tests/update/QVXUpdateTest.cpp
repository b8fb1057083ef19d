#include <chrono>
#include <deque>
#include <gtest/gtest.h>

#include "model/SettingsKeys.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PlistXml.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "update/AlertPresenter.h"
#include "update/QVXUpdate.h"
#include "update/URLOpener.h"

namespace pellora {
namespace {

using test::TestHttpServer;
using Clock = std::chrono::system_clock;
using Lines = std::vector<std::string>;

constexpr const char* kDatabasePath = "/QVXUpdateDatabase.xml";
constexpr const char* kRunningVersion = "1.9";
constexpr int kYes = 0;
constexpr int kDontAskAgain = 1;

// Stands in for the user and the desktop during a check, which runs on the
// test's thread: answers each alert with the scripted choices in turn (-1 once
// they run out), records the alerts, the addresses it was asked to open and
// the checker's two notifications.
struct Recorder final : AlertPresenter, URLOpener {
    Recorder() {
        NotificationCenter& center = NotificationCenter::defaultCenter();
        tokens[0] = center.addObserver(QVXUpdateNotification_defaultsDidChange,
                                       [this](const std::string&, const PlistValue&) { ++defaultsDidChange; });
        tokens[1] = center.addObserver(QVXUpdateNotification_finishedCheckingForUpdates,
                                       [this](const std::string&, const PlistValue& userInfo) {
                                           ++finished;
                                           finishedUserInfoEmpty = finishedUserInfoEmpty && userInfo.isNull();
                                       });
    }
    ~Recorder() override {
        for (const auto token : tokens) NotificationCenter::defaultCenter().removeObserver(token);
    }
    int runModal(const Alert& alert) override {
        alerts.push_back(alert);
        defaultsDidChangeBeforeAlert.push_back(defaultsDidChange);
        if (choices.empty()) return -1;
        const int choice = choices.front();
        choices.pop_front();
        return choice;
    }
    bool openURL(const std::string& url) override {
        opened.push_back(url);
        return true;
    }

    NotificationCenter::Token tokens[2] = {};
    std::deque<int> choices;
    std::vector<Alert> alerts;
    Lines opened;
    int defaultsDidChange = 0, finished = 0;
    bool finishedUserInfoEmpty = true;
    // For each alert, how many "Defaults Did Change" notifications came before it.
    std::vector<int> defaultsDidChangeBeforeAlert;
};

// An update database with one entry for Pellora, after another application's.
std::string updateDatabase(const PlistDictionary& entry) {
    return writePlistXml(PlistDictionary{{"Other App", PlistDictionary{{"Current Version", "9.9"}}}, {"Pellora", entry}});
}

// A check runs in a temporary home with its settings store, against a scripted server.
class QVXUpdateCheck : public ::testing::Test {
protected:
    QVXUpdateEnvironment environment() { return {recorder, recorder, defaults, limits}; }
    void publish(const PlistDictionary& entry) {
        server.setResponse(kDatabasePath, {200, updateDatabase(entry), {}, {}});
    }
    void publish(const std::string& version, const std::string& downloadURL = "https://pellora.example/download") {
        publish(PlistDictionary{{"Current Version", version}, {"Download URL", downloadURL}});
    }
    void check(bool userAsked, const std::string& url) {
        QVXUpdate::updateForApplication("Pellora", url, environment())
            .checkForUpdates(userAsked, kRunningVersion, QVXUpdateDefaultsKey_checkAtlaunch,
                             QVXUpdateDefaultsKey_lastChecked, false);
    }
    void check(bool userAsked) { check(userAsked, server.url(kDatabasePath)); }

    // An alert's message, informative text and buttons, in one list.
    static Lines shown(const Alert& alert) {
        Lines texts{alert.messageText, alert.informativeText};
        texts.insert(texts.end(), alert.buttonTitles.begin(), alert.buttonTitles.end());
        return texts;
    }

    void expectDateStoredSince(Clock::time_point before) {
        const PlistValue stored = defaults.objectForKey(QVXUpdateDefaultsKey_lastChecked);
        ASSERT_EQ(stored.type(), PlistValue::Type::Date);
        EXPECT_GE(stored.dateValue(), before);
        EXPECT_LE(stored.dateValue(), Clock::now());
    }

    test::TempHome home;
    test::LogCapture log;
    UserDefaults defaults{home.configHome() + "/pellora/Pellora.plist"};
    Recorder recorder;
    URLFetchLimits limits;
    TestHttpServer server;
};

// Only the user who asked is told; either check stores the date and posts that it finished.
TEST_F(QVXUpdateCheck, upToDateStoresTheDateAndPostsFinishedAndTellsOnlyTheUserWhoAsked) {
    publish(kRunningVersion);
    const auto before = Clock::now();
    check(false);
    EXPECT_TRUE(recorder.alerts.empty());
    expectDateStoredSince(before);
    EXPECT_EQ(recorder.finished, 1);
    test::LogCapture asked;
    check(true);

    ASSERT_EQ(recorder.alerts.size(), 1u);
    EXPECT_EQ(shown(recorder.alerts[0]),
              (Lines{"Pellora is up to date", "Pellora 1.9 is the newest version available.", "OK"}));
    EXPECT_EQ(asked.lines(), (Lines{"Checking for updates...", "Pellora is up-to-date."}));
    EXPECT_EQ(recorder.finished, 2);
    EXPECT_TRUE(recorder.finishedUserInfoEmpty);
    EXPECT_EQ(recorder.defaultsDidChange, 0);
    EXPECT_EQ(server.requestedPaths(), (Lines{kDatabasePath, kDatabasePath}));
}

// "Yes" opens the download page; "Don't Ask Again", offered by the automatic
// check only, switches that check off; "No" (the asked check's second button)
// or dismissing does neither. The date is stored and the end posted whatever
// the answer, and the settings' change is posted before the alert shows.
TEST_F(QVXUpdateCheck, theAnswerToANewVersionIsCarriedOut) {
    const Lines askedButtons{"Yes", "No"}, automaticButtons{"Yes", "Don't Ask Again", "No"};
    const struct {
        const char* what;
        bool asked;
        int answer;
        Lines buttons;
        bool opens;
        PlistValue checkAtLaunch;
    } cases[] = {
        {"asked, Yes", true, kYes, askedButtons, true, {}},
        {"asked, No", true, 1, askedButtons, false, {}},
        {"automatic, Don't Ask Again", false, kDontAskAgain, automaticButtons, false, false},
        {"automatic, No", false, 2, automaticButtons, false, {}},
        {"automatic, dismissed", false, -1, automaticButtons, false, {}},
    };
    publish("2.0", server.url("/download"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        defaults.removeObjectForKey(QVXUpdateDefaultsKey_checkAtlaunch);
        const std::size_t alerts = recorder.alerts.size(), opened = recorder.opened.size();
        const int finished = recorder.finished, changes = recorder.defaultsDidChange;
        const auto before = Clock::now();
        test::LogCapture caseLog;
        recorder.choices.push_back(c.answer);
        check(c.asked);

        ASSERT_EQ(recorder.alerts.size(), alerts + 1);
        Lines expected{"A new version is available",
                       "Pellora 2.0 can be downloaded now. Would you like to open its download page?"};
        expected.insert(expected.end(), c.buttons.begin(), c.buttons.end());
        EXPECT_EQ(shown(recorder.alerts.back()), expected);
        EXPECT_EQ(recorder.defaultsDidChangeBeforeAlert.back(), changes + 1);
        EXPECT_EQ(caseLog.lines(), (Lines{"Checking for updates...", "Pellora version 2.0 is available."}));
        EXPECT_EQ(recorder.opened.size(), opened + (c.opens ? 1 : 0));
        if (c.opens) {
            EXPECT_EQ(recorder.opened.back(), server.url("/download"));
        }
        EXPECT_EQ(defaults.objectForKey(QVXUpdateDefaultsKey_checkAtlaunch), c.checkAtLaunch);
        expectDateStoredSince(before);
        EXPECT_EQ(recorder.finished, finished + 1);
    }
}

// Versions are compared for equality, never ordered: a lower or merely differently
// spelled version is offered too, and "1.10" is not mistaken for "1.1" or "1.9".
TEST_F(QVXUpdateCheck, anyOtherPublishedVersionIsOffered) {
    for (const std::string version : {"1.8", "1.10", "1.9.0", "1.9 ", ""}) {
        publish(version);
        check(true);
    }
    publish(PlistDictionary{{"Current Version", 2}});  // not a string: never equal
    check(true);

    const auto alerts = recorder.alerts;
    ASSERT_EQ(alerts.size(), 6u);
    for (const Alert& alert : alerts) EXPECT_EQ(alert.messageText, "A new version is available");
    EXPECT_EQ(alerts[0].informativeText, "Pellora 1.8 can be downloaded now. Would you like to open its download page?");
    EXPECT_EQ(alerts[5].informativeText, "Pellora 2 can be downloaded now. Would you like to open its download page?");
    EXPECT_EQ(recorder.defaultsDidChange, 6);
}

// Whatever goes wrong, the check logs that it timed out; a user who asked is
// told why in an alert, the check at launch shows nothing. Nothing is stored
// or posted.
TEST_F(QVXUpdateCheck, everyFailureLogsTimedOutAndTellsOnlyTheUserWhoAskedWhy) {
    std::string deep = "<plist version=\"1.0\"><dict><key>Pellora</key>";
    for (int i = 0; i < 5000; ++i) deep += "<array>";
    for (int i = 0; i < 5000; ++i) deep += "</array>";
    deep += "</dict></plist>";
    const std::string entities =
        "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY v \"2.0\"><!ENTITY a \"&v;&v;&v;&v;&v;&v;\">]>"
        "<plist version=\"1.0\"><dict><key>Pellora</key><dict><key>Current Version</key><string>&a;</string>"
        "</dict></dict></plist>";
    // A valid database padded past the 1 MiB cap, declared in Content-Length and streamed without one.
    const std::string padded =
        updateDatabase({{"Current Version", "2.0"}, {"Padding", std::string(2u << 20, 'x')}});
    const std::string noConnection = "The update server could not be reached. Check the network connection and try again.";
    const std::string notUnderstood = "The update server's answer was not understood.";
    using Mode = TestHttpServer::Response::Mode;
    const std::vector<std::tuple<std::string, int, std::string, Mode, std::string>> answers{
        {"not a property list", 200, "<html><body>Welcome</body></html>", Mode::Complete, notUnderstood},
        {"empty answer", 200, "", Mode::Complete, notUnderstood},
        {"root is an array", 200, writePlistXml(PlistArray{"Pellora", "1.9"}), Mode::Complete, notUnderstood},
        {"no Pellora entry", 200,
         writePlistXml(PlistDictionary{{"Other App", PlistDictionary{{"Current Version", "2.0"}}}}), Mode::Complete,
         notUnderstood},
        {"entry is no dictionary", 200, writePlistXml(PlistDictionary{{"Pellora", "2.0"}}), Mode::Complete,
         notUnderstood},
        {"no Current Version", 200, updateDatabase({{"Download URL", "https://pellora.example/"}}),
         Mode::Complete, notUnderstood},
        {"not found", 404, "<html>Not Found</html>", Mode::Complete, "The update server answered with status 404."},
        {"error status", 500, updateDatabase({{"Current Version", "2.0"}}), Mode::Complete,
         "The update server answered with status 500."},
        {"deep nesting", 200, deep, Mode::Complete, notUnderstood},
        {"entity declarations", 200, entities, Mode::Complete, notUnderstood},
        {"declared body over the cap", 200, padded, Mode::Complete, notUnderstood},
        {"streamed body over the cap", 200, padded, Mode::Endless, notUnderstood},
        // The time limit ends the transfer; without it the check would wait for the server forever.
        {"stalled server", 200, "", Mode::Stall, noConnection},
    };
    limits.totalTimeout = std::chrono::milliseconds(1000);
    const auto start = std::chrono::steady_clock::now();
    const auto checkBoth = [&](const std::string& what, const std::string& url, const std::string& reason) {
        for (const bool asked : {false, true}) {
            test::LogCapture caseLog;
            const std::size_t alertsBefore = recorder.alerts.size();
            check(asked, url);
            EXPECT_EQ(caseLog.lines(), (Lines{"Checking for updates...", "Check for updates timed out."})) << what;
            const auto alerts = recorder.alerts;
            ASSERT_EQ(alerts.size(), alertsBefore + (asked ? 1 : 0)) << what;
            if (asked) {
                EXPECT_EQ(shown(alerts.back()), (Lines{"Pellora could not check for updates.", reason, "OK"})) << what;
            }
        }
    };
    for (const auto& [what, status, body, mode, reason] : answers) {
        server.setResponse(kDatabasePath, {status, body, {}, mode});
        checkBoth(what, server.url(kDatabasePath), reason);
    }
    checkBoth("no server", "http://127.0.0.1:" + std::to_string(TestHttpServer::closedPort()) + kDatabasePath,
              noConnection);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(defaults.objectForKey(QVXUpdateDefaultsKey_lastChecked).isNull());
    EXPECT_EQ(recorder.finished, 0);
    EXPECT_EQ(recorder.defaultsDidChange, 0);
}

TEST_F(QVXUpdateCheck, onlyAbsoluteWebAddressesWithAHostAreOpened) {
    QVXUpdate update = QVXUpdate::updateForApplication("Pellora", server.url(kDatabasePath), environment());
    for (const std::string& refused :
         Lines{"", "file:///tmp/x", "javascript:alert(1)", "/download", "pellora.example/download", "http://",
               "https:///path", "http:/pellora.example/", "http:pellora.example", " http://pellora.example/",
               "http:\\\\pellora.example/", "http:/x?y://pellora.example", "ftp://pellora.example/",
               "http://pellora.example/a b", "file:///" + std::string(5000, 'x')}) {
        test::LogCapture caseLog;
        update.downloadUpdateWithURL(refused);
        EXPECT_EQ(caseLog.lines().size(), 1u) << refused;
    }
    test::LogCapture fileLog;
    update.downloadUpdateWithURL("file:///etc/passwd");
    EXPECT_EQ(fileLog.lines(), Lines{"QVXUpdate: Not opening download URL \"file:///etc/passwd\": not an http or "
                                     "https address with a host"});
    EXPECT_TRUE(recorder.opened.empty());

    update.downloadUpdateWithURL("HTTPS://Pellora.example/download?v=2");
    update.downloadUpdateWithURL("http://127.0.0.1:8080/");
    EXPECT_EQ(recorder.opened, (Lines{"https://Pellora.example/download?v=2", "http://127.0.0.1:8080/"}));
}

} // namespace
} // namespace pellora
