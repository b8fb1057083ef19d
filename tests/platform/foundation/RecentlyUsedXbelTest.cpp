#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/foundation/RecentlyUsedXbel.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using test::LogCapture;
using test::readFile;
using test::TempDir;
using test::writeFile;

// An entry another application wrote, with a title and a group, and one it
// shares with Pellora's files, as GLib writes them.
const std::string kOtherApplicationsFile =
    test::readFile(std::string(PELLORA_TEST_DATA_DIR) + "/desktop/recently-used.xbel");

RecentlyUsedXbel pelloraList(const std::string& filePath) {
    return RecentlyUsedXbel(filePath, "Pellora", "'pellora %u'");
}

// GLib's reading of the file: one line per entry, or the parser's complaint.
std::string readWithGLib(const std::string& filePath, int* status = nullptr) {
    std::string output;
    const int result = test::runCommand(std::string(PELLORA_BIN_DIR) + "/xbel_glib_reader '" + filePath + "' 2>&1", &output);
    if (status != nullptr) *status = result;
    return output;
}

TEST(RecentlyUsedXbel, GLibReadsTheWrittenFileWithOtherApplicationsEntriesIntactAndOnlyTheNewestOwn) {
    TempDir dir;
    const std::string file = dir.file("share/recently-used.xbel");
    std::filesystem::create_directory(dir.file("share"));
    writeFile(file, kOtherApplicationsFile);
    // A space, a non-UTF-8 byte and a percent sign in the names; one path twice.
    const std::string odd = "/photos/caf\xE9 100%.JPG";
    ASSERT_TRUE(pelloraList(file).addFiles({"/photos/a b.png", "/home/ann/shared.png", odd, "/photos/a b.png"}, 500));

    int status = -1;
    const std::string glib = readWithGLib(file, &status);
    ASSERT_EQ(status, 0) << glib;
    EXPECT_NE(glib.find("file:///home/ann/notes.txt\tShopping notes\tLists\tScribe:3\ttext/plain\n"), std::string::npos) << glib;
    EXPECT_NE(glib.find("file:///home/ann/shared.png\t\t\tScribe:1,Pellora:1\timage/png\n"), std::string::npos) << glib;
    EXPECT_NE(glib.find("file:///photos/a%20b.png\t\t\tPellora:2\timage/png\n"), std::string::npos) << glib;
    EXPECT_NE(glib.find("file:///photos/caf%E9%20100%25.JPG\t\t\tPellora:1\timage/jpeg\n"), std::string::npos) << glib;

    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // Newest first, the non-UTF-8 name given back byte for byte.
    EXPECT_EQ(pelloraList(file).recentFilePaths(20),
              (std::vector<std::string>{"/photos/a b.png", odd, "/home/ann/shared.png"}));
    EXPECT_EQ(pelloraList(file).recentFilePaths(1), std::vector<std::string>{"/photos/a b.png"});

    // Only the newest own entries are kept, never others: the shared entry
    // loses only Pellora's record, the other application's entry stays whole.
    RecentlyUsedXbel list = pelloraList(file);
    for (int batch = 0; batch < 3; ++batch) {
        std::vector<std::string> paths;
        for (int i = 0; i < 3; ++i) paths.push_back("/p/" + std::to_string(batch * 3 + i) + ".png");
        ASSERT_TRUE(list.addFiles(paths, 5));
    }
    EXPECT_EQ(list.recentFilePaths(100),
              (std::vector<std::string>{"/p/8.png", "/p/7.png", "/p/6.png", "/p/5.png", "/p/4.png"}));
    const std::string kept = readWithGLib(file);
    EXPECT_NE(kept.find("file:///home/ann/shared.png\t\t\tScribe:1\timage/png\n"), std::string::npos) << kept;
    EXPECT_NE(kept.find("file:///home/ann/notes.txt\tShopping notes\tLists\tScribe:3"), std::string::npos) << kept;
    EXPECT_EQ(kept.find("/p/3.png"), std::string::npos) << kept;
    ASSERT_TRUE(list.clear());
    EXPECT_TRUE(list.recentFilePaths(100).empty());
    EXPECT_NE(readWithGLib(file).find("file:///home/ann/notes.txt\tShopping notes"), std::string::npos);
}

// A file that does not parse, or a FIFO (which must not block the program) or
// a folder in its place, is left as it is, and nothing is left beside it.
TEST(RecentlyUsedXbel, WhatIsNotARegularFileThatParsesIsLeftUntouched) {
    TempDir dir;
    const std::string corrupt = dir.file("corrupt.xbel"), fifo = dir.file("fifo.xbel"), folder = dir.file("folder.xbel");
    writeFile(corrupt, kOtherApplicationsFile.substr(0, 900));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    const test::Deadline deadline(20);
    for (const auto& [file, line] : {std::pair{corrupt, "does not parse"}, {fifo, "not a regular file"},
                                     {folder, "not a regular file"}}) {
        SCOPED_TRACE(file);
        LogCapture log;
        EXPECT_FALSE(pelloraList(file).addFiles({"/photos/a.png"}, 500));
        EXPECT_FALSE(pelloraList(file).clear());
        EXPECT_TRUE(pelloraList(file).recentFilePaths(20).empty());
        EXPECT_TRUE(log.contains(line));
    }
    EXPECT_EQ(readFile(corrupt), kOtherApplicationsFile.substr(0, 900));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 3);
}

TEST(RecentlyUsedXbel, FileURIsRoundTripAndForeignURIsAreRefused) {
    const std::string path = "/a b/\x01\xFF%#?.png";
    EXPECT_EQ(RecentlyUsedXbel::fileURIForPath(path), "file:///a%20b/%01%FF%25%23%3F.png");
    EXPECT_EQ(RecentlyUsedXbel::pathForFileURI(RecentlyUsedXbel::fileURIForPath(path)), path);
    EXPECT_EQ(RecentlyUsedXbel::pathForFileURI("file://localhost/x.png"), "/x.png");
    EXPECT_EQ(RecentlyUsedXbel::pathForFileURI("https://example.org/x.png"), "");
    EXPECT_EQ(RecentlyUsedXbel::pathForFileURI("file://server/x.png"), "");
    EXPECT_EQ(RecentlyUsedXbel::pathForFileURI("file:///x%00.png"), "");
    EXPECT_EQ(RecentlyUsedXbel::pathForFileURI("file:///x%4"), "");
}

} // namespace
} // namespace pellora
