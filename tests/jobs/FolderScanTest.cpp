#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "jobs/BatchController.h"
#include "jobs/FolderScan.h"
#include "jobs/NaturalNameOrder.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using test::TempDir;
using test::writeFile;

TEST(NaturalNameOrderTest, DigitRunsCompareByValueEverythingElseByByte) {
    // Each name comes strictly before the next.
    const std::vector<std::string> ordered{
        "",          "1.jpg",     "2.jpg",       "10.jpg",      "IMG_1.jpg",   "IMG_02.jpg", "IMG_2.jpg",
        "IMG_2a.jpg", "IMG_9.jpg", "IMG_10.jpg", "IMG_10_1.jpg", "IMG_10_2.jpg", "IMG_10_10.jpg",
        "IMG_99999999999999999999998.jpg",  // longer than any integer type
        "IMG_99999999999999999999999.jpg", "IMG_100000000000000000000000.jpg",
        "IMG_a.jpg", "Img_1.jpg",  // case-sensitive: 'M' < 'm'
        "img_1.jpg", "img_\x80.jpg", "img_\xff.jpg",  // bytes above 0x7F after ASCII
    };
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        for (std::size_t j = 0; j < ordered.size(); ++j) {
            EXPECT_EQ(naturalNameLess(ordered[i], ordered[j]), i < j) << ordered[i] << " vs " << ordered[j];
        }
    }
}

TEST(NaturalNameOrderTest, SortsAShuffledFolderListing) {
    std::vector<std::string> names{"IMG_10.jpg", "IMG_1.jpg", "b.jpg", "IMG_2.jpg", "a10.jpg", "a9.jpg"};
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return naturalNameLess(a, b); });
    EXPECT_EQ(names, (std::vector<std::string>{"IMG_1.jpg", "IMG_2.jpg", "IMG_10.jpg", "a9.jpg", "a10.jpg", "b.jpg"}));
}

TEST(FolderScanTest, FolderFilesArriveInNaturalNameOrder) {
    TempDir dir;
    // Created in an order no file system would list sorted by value.
    for (const char* name : {"IMG_10.jpg", "IMG_2.jpg", "IMG_1.jpg", "img_3.png", "IMG_100.jpg", "notes.txt"}) {
        writeFile(dir.file(name), "");
    }
    EXPECT_EQ(BatchController::imageFilePathsInDirectory(dir.path()),
              (std::vector<std::string>{dir.file("IMG_1.jpg"), dir.file("IMG_2.jpg"), dir.file("IMG_10.jpg"),
                                        dir.file("IMG_100.jpg"), dir.file("img_3.png")}));
}

TEST(FolderScanTest, TreeScanGoesToAnyDepthWithoutFollowingLinksToFolders) {
    TempDir dir;
    ::mkdir(dir.file("tree").c_str(), 0755);
    ::mkdir(dir.file("tree/2024").c_str(), 0755);
    ::mkdir(dir.file("tree/2024/june").c_str(), 0755);
    ::mkdir(dir.file("tree/10.jpg").c_str(), 0755);  // a folder named like an image is entered, not taken
    ::mkdir(dir.file("elsewhere").c_str(), 0755);
    writeFile(dir.file("tree/top.jpg"), "");
    writeFile(dir.file("tree/2024/june/IMG_1.jpg"), "");
    writeFile(dir.file("tree/2024/june/notes.txt"), "");
    writeFile(dir.file("tree/10.jpg/inner.png"), "");
    writeFile(dir.file("elsewhere/outside.jpg"), "");
    ASSERT_EQ(::symlink(dir.file("elsewhere").c_str(), dir.file("tree/link.jpg").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("tree").c_str(), dir.file("tree/2024/loop").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("elsewhere/outside.jpg").c_str(), dir.file("tree/file-link.jpg").c_str()), 0);

    std::vector<std::pair<std::string, std::string>> found;
    std::vector<std::string> notRead;
    for (const FoundImageFile& file : imageFilesInFolderTree(dir.file("tree"), notRead)) {
        found.emplace_back(file.path, file.relativeFolder);
    }
    EXPECT_EQ(found, (std::vector<std::pair<std::string, std::string>>{
                         {dir.file("tree/10.jpg/inner.png"), "10.jpg"},  // 10 before 2024
                         {dir.file("tree/2024/june/IMG_1.jpg"), "2024/june"},
                         {dir.file("tree/file-link.jpg"), ""},
                         {dir.file("tree/top.jpg"), ""},
                     }));
    EXPECT_TRUE(notRead.empty());
    EXPECT_TRUE(imageFilesInFolderTree(dir.file("missing"), notRead).empty());
    EXPECT_EQ(notRead, std::vector<std::string>{dir.file("missing")});
}

} // namespace
} // namespace pellora
