#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

#include "platform/foundation/PlistXml.h"
#include "support/TestSupport.h"
#include "util/AutostartEntry.h"
#include "util/QVXAliasDataHelper.h"
#include "util/QVXLoginItemHelper.h"

namespace pellora {
namespace {

// A temporary home with real program files to list.
class LoginItems : public ::testing::Test {
protected:
    std::string program(const std::string& relativePath) {
        const std::string path = home.home() + "/" + relativePath;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        test::writeFile(path, "#!/bin/sh\nprintf '%s' \"$0\" > \"$(dirname \"$0\")/launched\"\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }

    static PlistArray storedPaths() {
        PlistArray paths;
        for (const PlistValue& entry : storedEntries()) paths.push_back(entry.dictionaryValue().get("Path"));
        return paths;
    }

    static PlistArray storedEntries() {
        const PlistValue domain = readPlistFile(QVXLoginItemHelper::domainFilePath());
        return domain.dictionaryValue().get("AutoLaunchedApplicationDictionary").arrayValue();
    }

    test::TempHome home;
};

// Adding twice gives two equal entries, and an autostart entry that goes with
// the last one removed.
TEST_F(LoginItems, storesEachItemInTheLoginWindowFileAndAnAutostartEntry) {
    const std::string app = program("Apps/Pellora");
    QVXLoginItemHelper::addToLoginItems(app, true);
    QVXLoginItemHelper::addToLoginItems(app, true);
    EXPECT_EQ(QVXLoginItemHelper::domainFilePath(), home.configHome() + "/pellora/loginwindow.plist");
    const PlistArray entries = storedEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], entries[1]);
    const PlistDictionary& entry = entries[0].dictionaryValue();
    EXPECT_EQ(entry.get("Path"), PlistValue(app));
    EXPECT_EQ(entry.get("Hide"), PlistValue(true));
    EXPECT_EQ(QVXAliasDataHelper::filePathFromAliasData(entry.get("AliasData").dataValue()),
              std::filesystem::canonical(app).string());

    const std::string autostartEntry = autostart::entryFilePath("Pellora");
    EXPECT_EQ(autostartEntry, home.configHome() + "/autostart/pellora-login-Pellora.desktop");
    const std::string text = test::readFile(autostartEntry);
    EXPECT_NE(text.find("[Desktop Entry]\nType=Application\nName=Pellora\nExec=\"" + app + "\"\n"), std::string::npos);
    EXPECT_NE(text.find("X-Pellora-Hide=true\n"), std::string::npos);
    EXPECT_EQ(text.find("Hidden="), std::string::npos);
    QVXLoginItemHelper::removeFromLoginItems("/other/Pellora");
    EXPECT_FALSE(test::fileExists(autostartEntry));
}

TEST_F(LoginItems, itemsAreMatchedAndRemovedByTheExactLastPathComponent) {
    EXPECT_FALSE(QVXLoginItemHelper::isInLoginItems("/x/Pellora"));
    QVXLoginItemHelper::addToLoginItems(program("Apps/Pellora"), false);
    EXPECT_TRUE(QVXLoginItemHelper::isInLoginItems("/elsewhere/Pellora"));
    EXPECT_TRUE(QVXLoginItemHelper::isInLoginItems("Pellora"));
    EXPECT_FALSE(QVXLoginItemHelper::isInLoginItems(home.home() + "/Apps/pellora"));
    EXPECT_FALSE(QVXLoginItemHelper::isInLoginItems(home.home() + "/Apps"));
    // Removing a name removes every match and keeps the others in order.
    const std::vector<std::string> paths{program("a/Tool"), program("b/Other"), program("c/Tool"), program("d/Third")};
    for (const std::string& path : paths) QVXLoginItemHelper::addToLoginItems(path, false);
    QVXLoginItemHelper::removeFromLoginItems("/nowhere/Tool");
    EXPECT_EQ(storedPaths(), (PlistArray{home.home() + "/Apps/Pellora", paths[1], paths[3]}));
    EXPECT_FALSE(QVXLoginItemHelper::isInLoginItems("Tool"));
}

// Removing without a list writes an empty one; a list that cannot be read, or
// a FIFO in its place (which must not block the program), is left as it is.
TEST_F(LoginItems, aMissingListIsWrittenEmptyAndAnUnreadableOneIsLeftAlone) {
    const std::string file = QVXLoginItemHelper::domainFilePath();
    QVXLoginItemHelper::removeFromLoginItems("/x/Pellora");
    EXPECT_EQ(readPlistFile(file), PlistValue(PlistDictionary{{"AutoLaunchedApplicationDictionary", PlistArray{}}}));

    const std::string app = program("Apps/Pellora");
    const test::Deadline deadline(20);
    for (const bool fifo : {false, true}) {
        SCOPED_TRACE(fifo ? "FIFO" : "unreadable list");
        std::filesystem::remove(file);
        if (fifo) {
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        } else {
            test::writeFile(file, "<plist><dict><key>Auto");
        }
        test::LogCapture log;
        QVXLoginItemHelper::addToLoginItems(app, false);
        QVXLoginItemHelper::removeFromLoginItems("Pellora");
        EXPECT_EQ(std::filesystem::is_fifo(file), fifo);
        if (!fifo) {
            EXPECT_EQ(test::readFile(file), "<plist><dict><key>Auto");
        }
        EXPECT_FALSE(test::fileExists(autostart::entryFilePath("Pellora")));
        EXPECT_EQ(log.contains("not a regular file"), fifo);
        EXPECT_FALSE(log.lines().empty());
    }
}

TEST_F(LoginItems, changesFromTwoThreadsAreAllKept) {
    const std::string app = program("Apps/Pellora");
    auto addSome = [&app] {
        for (int n = 0; n < 8; ++n) QVXLoginItemHelper::addToLoginItems(app, false);
    };
    std::thread other(addSome);
    addSome();
    other.join();
    EXPECT_EQ(storedEntries().size(), 16u);
}

// GLib's launcher reads the entry as a desktop session does at login and runs the program.
TEST_F(LoginItems, desktopLauncherRunsAnOddlyNamedItem) {
    const std::string app = program("A dir/run \"it\" $HOME `id` \\ done;&'(\t).sh");
    QVXLoginItemHelper::addToLoginItems(app, false);
    const std::string entry = autostart::entryFilePath(std::filesystem::path(app).filename().string());
    ASSERT_TRUE(test::fileExists(entry));
    std::string output;
    ASSERT_EQ(test::runCommand("gio launch '" + entry + "' 2>&1", &output), 0) << output;
    const std::string launched = home.home() + "/A dir/launched";
    for (int n = 0; n < 100 && test::readFile(launched).empty(); ++n) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(test::readFile(launched), app);
}

TEST_F(LoginItems, pathsADesktopEntryCannotHoldAreListedWithoutOne) {
    const std::string app = program("Apps/bad\xff");
    test::LogCapture log;
    QVXLoginItemHelper::addToLoginItems(app, false);
    EXPECT_TRUE(QVXLoginItemHelper::isInLoginItems(app));
    EXPECT_FALSE(test::fileExists(autostart::entryFilePath("bad\xff")));
    EXPECT_TRUE(log.contains("QVXLoginItemHelper: Cannot start"));
    for (const char* path : {"/a/b=c", "/a/100%", "/a/cr\rx", "/a/\xc0\xaf", "/a/\xed\xa0\x80", "/a/\xe2\x82"}) {
        EXPECT_FALSE(autostart::entryText(path, false)) << path;
    }
    EXPECT_TRUE(autostart::entryText("/a/caf\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x93\xb7", false));
}

TEST(AutostartEntry, entryFileNamesAreDistinctAndShort) {
    const std::string longName(300, 'x');
    const std::string first = std::filesystem::path(autostart::entryFilePath(longName + "a")).filename().string();
    const std::string second = std::filesystem::path(autostart::entryFilePath(longName + "b")).filename().string();
    EXPECT_NE(first, second);
    EXPECT_LE(first.size(), 255u);
    EXPECT_NE(autostart::entryFilePath("a b"), autostart::entryFilePath("a_20b"));
}

} // namespace
} // namespace pellora
