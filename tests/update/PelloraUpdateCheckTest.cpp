#include <gtest/gtest.h>
#include <thread>

#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "update/PelloraUpdateCheck.h"
#include "update/UpdateTestSupport.h"

namespace pellora {
namespace {

class PelloraUpdateCheck : public test::UpdateCheckFixture {
protected:
    PelloraUpdateCheck() { defaults.registerDefaults(defaultSettings()); }
    void publish(const std::string& version) {
        const PlistDictionary entry{{"Current Version", version}, {"Download URL", "https://pellora.example/"}};
        server.setResponse("/db.xml", {200, test::updateDatabase("Pellora", entry), {}, {}});
    }
    // One launch: answers whether it started a thread, and waits for it.
    bool launch() {
        std::thread thread = checkForUpdatesAtLaunch(environment());
        const bool started = thread.joinable();
        if (started) thread.join();
        return started;
    }

    test::ScopedVariable updateURL{PelloraUpdateURLVariable, server.url("/db.xml")};
};

TEST_F(PelloraUpdateCheck, theLaunchCheckRunsOnItsOwnThreadAsTheSilentAutomaticCheck) {
    publish(runningAppVersion());
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id checker;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        QVXUpdateNotification_finishedCheckingForUpdates,
        [&](const std::string&, const PlistValue&) { checker = std::this_thread::get_id(); });

    EXPECT_TRUE(launch());
    NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_NE(checker, caller);
    EXPECT_TRUE(recorder.alerts().empty());
    EXPECT_EQ(defaults.objectForKey(QVXUpdateDefaultsKey_lastChecked).type(), PlistValue::Type::Date);
}

// What the launch check and the menu command then show, and that "Don't Ask Again"
// stops the next launch's check, is tested through the window (tests/gui/UpdateCheckTest).

} // namespace
} // namespace pellora
