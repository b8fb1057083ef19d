#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "jobs/JobTestSupport.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/PlistXml.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

const std::string kTool = std::string(PELLORA_BIN_DIR) + "/pellora_defaults_tool";

std::string toolOutput(const std::string& arguments) {
    std::string output;
    EXPECT_EQ(test::runCommand(kTool + " " + arguments, &output), 0);
    if (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

class UserDefaultsTest : public ::testing::Test {
protected:
    test::TempHome home;
    std::string settingsPath() const { return home.configHome() + "/pellora/Pellora.plist"; }
};

// The fixed folder is in this user's home, made only when an export needs it.
// A second registration keeps what the user set; removing it shows the
// default again. Observers hear changes of their key only, until removed.
TEST_F(UserDefaultsTest, firstLaunchReadsEveryDefaultAndALaterRegistrationKeepsUserValues) {
    UserDefaults defaults(settingsPath());
    defaults.registerDefaults(defaultSettings());
    for (const auto& [key, value] : defaultSettings()) EXPECT_EQ(defaults.objectForKey(key), value) << key;
    EXPECT_EQ(defaults.stringForKey(QVXDefaultsKey_exportStaticLocation), home.home() + "/Pictures/Pellora Images");
    EXPECT_FALSE(test::fileExists(home.home() + "/Pictures"));

    std::vector<int> heard;
    const auto token = defaults.addObserver(
        QVXDefaultsKey_scalingMethod, [&](const std::string&, const PlistValue& value) { heard.push_back(value.intValue()); });
    defaults.setObject(3, QVXDefaultsKey_scalingMethod);
    defaults.setObject(2, QVXDefaultsKey_exportFormat);
    defaults.registerDefaults(defaultSettings());
    EXPECT_EQ(defaults.integerForKey(QVXDefaultsKey_scalingMethod), 3);
    defaults.removeObserver(token);
    defaults.removeObjectForKey(QVXDefaultsKey_scalingMethod);
    EXPECT_EQ(defaults.integerForKey(QVXDefaultsKey_scalingMethod), 0);
    EXPECT_EQ(heard, std::vector<int>{3});
}

TEST_F(UserDefaultsTest, changeReachesDiskSoonAfterwardsAndWholeAtDestruction) {
    {
        UserDefaults defaults(settingsPath(), std::chrono::milliseconds(50));
        defaults.setObject(0.125f, QVXDefaultsKey_scalingPercentage);
        for (int i = 0; i < 100 && !test::fileExists(settingsPath()); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(test::fileExists(settingsPath()));
        defaults.setObject("last", QVXDefaultsKey_exportStaticLocation);
    }
    const PlistValue stored = readPlistFile(settingsPath());
    EXPECT_EQ(stored.dictionaryValue().get(QVXDefaultsKey_scalingPercentage).floatValue(), 0.125f);
    EXPECT_EQ(stored.dictionaryValue().get(QVXDefaultsKey_exportStaticLocation).stringValue(), "last");
    // No temporary files are left beside it.
    EXPECT_EQ(test::folderEntries(home.configHome() + "/pellora"), std::vector<std::string>{"Pellora.plist"});
}

TEST_F(UserDefaultsTest, corruptFileIsKeptAsideAndDefaultsAreServed) {
    std::filesystem::create_directories(home.configHome() + "/pellora");
    test::writeFile(settingsPath(), "<plist><dict><key>ScalingMethod</key><integer>2");
    test::LogCapture log;
    UserDefaults defaults(settingsPath());
    defaults.registerDefaults(defaultSettings());
    EXPECT_EQ(defaults.integerForKey(QVXDefaultsKey_scalingMethod), 0);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find(".corrupt-"), std::string::npos);
    bool keptAside = false;
    for (const auto& entry : std::filesystem::directory_iterator(home.configHome() + "/pellora")) {
        keptAside = keptAside || (entry.path().filename().string().starts_with("Pellora.plist.corrupt-") &&
                                  test::readFile(entry.path()) == "<plist><dict><key>ScalingMethod</key><integer>2");
    }
    EXPECT_TRUE(keptAside);
}

// The kind, size, identity and time of what a path holds: equal before and
// after a run when the run left it alone.
std::string describePath(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return "nothing";
    return fmt::format("mode {:o} size {} inode {} changed {}.{}", info.st_mode, info.st_size, info.st_ino,
                       info.st_ctim.tv_sec, info.st_ctim.tv_nsec);
}

// A settings path that holds what cannot be read as settings is left exactly
// as it is: the program starts at once (a FIFO must not block it), logs one
// line, runs on the defaults and writes nothing there, even after a change.
// Root reads anything, so under root the program runs as nobody, in a folder
// where nobody could move the file aside.
TEST_F(UserDefaultsTest, aPathThatCannotBeReadIsLeftAloneAndNeverWritten) {
    using std::filesystem::perms;
    const bool root = ::geteuid() == 0;
    const std::string asUser = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const std::string folder = home.configHome() + "/pellora";
    const std::string path = settingsPath();
    const std::string validSettings = writePlistXml(PlistDictionary{{QVXDefaultsKey_scalingMaxWidth, 640}});
    // Each makes the path's contents with the permissions the program's user needs to reach them.
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"a FIFO",
         [&] {
             ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
             std::filesystem::permissions(path, perms::all);
         }},
        {"a folder", [&] { std::filesystem::create_directories(path); }},
        {"a file over the size cap",
         [&] {
             test::writeFile(path, validSettings);
             std::filesystem::resize_file(path, (16u << 20) + 1);
         }},
        {"valid settings without read permission",
         [&] {
             test::writeFile(path, validSettings);
             std::filesystem::permissions(path, root ? perms::owner_read : perms::none);
         }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        make();
        if (root) {
            for (const std::string& searched : {home.home(), home.configHome()}) {
                std::filesystem::permissions(searched, perms::others_exec, std::filesystem::perm_options::add);
            }
            ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        }
        const std::string before = describePath(path);

        std::string output;
        EXPECT_EQ(test::runCommand("timeout 20 " + asUser + kTool + " set ScalingMaxWidth int 320 2>&1", &output), 0);
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
        EXPECT_NE(output.find("left as it is"), std::string::npos) << output;
        std::string value;
        EXPECT_EQ(test::runCommand("timeout 20 " + asUser + kTool + " get ScalingMaxWidth 2>/dev/null", &value), 0);
        EXPECT_EQ(value, "1024\n");

        EXPECT_EQ(describePath(path), before);
        EXPECT_EQ(test::folderEntries(folder), std::vector<std::string>{"Pellora.plist"});
    }
}

TEST_F(UserDefaultsTest, valueSetInOneProcessIsReadByTheNext) {
    EXPECT_EQ(toolOutput("get ScalingMaxWidth"), "1024");
    toolOutput("set ScalingMaxWidth int 640");
    toolOutput("set JPEGExportQuality float 0.3");
    EXPECT_EQ(toolOutput("get ScalingMaxWidth"), "640");
    EXPECT_EQ(std::stof(toolOutput("get JPEGExportQuality")), 0.3f);
    EXPECT_EQ(toolOutput("get ExportStaticLocation"), home.home() + "/Pictures/Pellora Images");
}

TEST_F(UserDefaultsTest, processKilledDuringChangesLeavesAReadableFile) {
    for (int round = 0; round < 3; ++round) {
        FILE* child = ::popen((kTool + " churn ScalingMaxWidth").c_str(), "r");
        ASSERT_NE(child, nullptr);
        char line[16] = {};
        ASSERT_NE(std::fgets(line, sizeof line, child), nullptr);
        const pid_t churner = static_cast<pid_t>(std::atoi(line));
        ASSERT_GT(churner, 0);
        // Killed once the file exists (however slow the machine), at a different moment each round.
        for (int wait = 0; wait < 500 && !std::filesystem::exists(settingsPath()); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + 130 * round));
        ::kill(churner, SIGKILL);
        ::pclose(child);
        test::LogCapture log;
        const PlistValue stored = readPlistFile(settingsPath());
        ASSERT_TRUE(stored.isDictionary()) << "round " << round;
        EXPECT_GT(stored.dictionaryValue().get(QVXDefaultsKey_scalingMaxWidth).intValue(), 0);
    }
}

TEST_F(UserDefaultsTest, concurrentReadersSeeWholeValues) {
    UserDefaults defaults(settingsPath(), std::chrono::milliseconds(1));
    defaults.setObject("value-0", QVXDefaultsKey_exportStaticLocation);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            while (!stop) {
                if (!defaults.stringForKey(QVXDefaultsKey_exportStaticLocation).starts_with("value-")) ++torn;
                (void)defaults.floatForKey(QVXDefaultsKey_scalingPercentage);
            }
        });
    }
    for (int i = 0; i < 2000; ++i) {
        defaults.setObject("value-" + std::string(static_cast<std::size_t>(i % 50), 'x'),
                           QVXDefaultsKey_exportStaticLocation);
        defaults.setObject(static_cast<float>(i) / 2000.0f, QVXDefaultsKey_scalingPercentage);
    }
    stop = true;
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(torn, 0);
}

} // namespace
} // namespace pellora
