#include <atomic>
#include <bit>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

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

TEST_F(UserDefaultsTest, firstLaunchReadsEveryDefaultAndALaterRegistrationKeepsUserValues) {
    UserDefaults defaults(settingsPath());
    defaults.registerDefaults(defaultSettings());
    // Typed as written: the fractions single-precision, the sizes integers.
    const std::pair<const char*, PlistValue> expected[] = {
        {QVXDefaultsKey_scalingMethod, 0}, {QVXDefaultsKey_scalingMaxWidthOrHeight, 1024},
        {QVXDefaultsKey_scalingMaxWidth, 1024}, {QVXDefaultsKey_scalingMaxHeight, 768},
        {QVXDefaultsKey_scalingPercentage, std::bit_cast<float>(0x3F000000u)}, {QVXDefaultsKey_exportFormat, 0},
        {QVXDefaultsKey_JPEGExportQuality, std::bit_cast<float>(0x3F4CCCCDu)},
        {QVXDefaultsKey_JPEG2000ExportQuality, std::bit_cast<float>(0x3F4CCCCDu)}, {QVXDefaultsKey_exportDestination, 0},
        {QVXDefaultsKey_exportStaticLocation, home.home() + "/Pictures/Pellora Images"},
        {QVXDefaultsKey_overriteExistingFilesOnExport, false}, {QVXDefaultsKey_preserveMetadata, true},
        {QVXDefaultsKey_hardRotate, true}, {QVXUpdateDefaultsKey_checkAtlaunch, true},
        {QVXUpdateDefaultsKey_lastChecked, PlistValue()}};
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(defaults.objectForKey(key), value) << key << " is " << defaults.objectForKey(key).description();
    }
    EXPECT_FALSE(test::fileExists(home.home() + "/Pictures"));

    // A second registration keeps what the user set; removing it shows the default again.
    defaults.setObject(3, QVXDefaultsKey_scalingMethod);
    defaults.registerDefaults(defaultSettings());
    EXPECT_EQ(defaults.integerForKey(QVXDefaultsKey_scalingMethod), 3);
    defaults.removeObjectForKey(QVXDefaultsKey_scalingMethod);
    EXPECT_EQ(defaults.integerForKey(QVXDefaultsKey_scalingMethod), 0);
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
    const std::filesystem::directory_iterator entries(home.configHome() + "/pellora");
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);
}

TEST_F(UserDefaultsTest, observersHearChangesOfTheirKeyOnly) {
    UserDefaults defaults(settingsPath());
    std::vector<int> heard;
    const auto token = defaults.addObserver(
        QVXDefaultsKey_exportFormat, [&](const std::string&, const PlistValue& value) { heard.push_back(value.intValue()); });
    defaults.setObject(2, QVXDefaultsKey_exportFormat);
    defaults.setObject(1, QVXDefaultsKey_scalingMethod);
    defaults.removeObserver(token);
    defaults.setObject(4, QVXDefaultsKey_exportFormat);
    EXPECT_EQ(heard, std::vector<int>{2});
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
