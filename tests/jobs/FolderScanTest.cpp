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

// Only the names directly inside, hidden ones included, judged by their name
// alone (a folder named like an image is taken), in natural name order.
TEST(FolderScanTest, FolderFilesArriveInNaturalNameOrder) {
    TempDir dir;
    // Created in an order no file system would list sorted by value.
    for (const char* name : {"IMG_10.jpg", "IMG_2.jpg", "IMG_1.jpg", "img_3.png", "IMG_100.JPG", "notes.txt", ".hidden.png"}) {
        writeFile(dir.file(name), "");
    }
    ::mkdir(dir.file("sub").c_str(), 0755);
    writeFile(dir.file("sub/c.jpg"), "");
    ::mkdir(dir.file("looks.tiff").c_str(), 0755);
    EXPECT_EQ(BatchController::imageFilePathsInDirectory(dir.path()),
              (std::vector<std::string>{dir.file(".hidden.png"), dir.file("IMG_1.jpg"), dir.file("IMG_2.jpg"),
                                        dir.file("IMG_10.jpg"), dir.file("IMG_100.JPG"), dir.file("img_3.png"),
                                        dir.file("looks.tiff")}));
    EXPECT_TRUE(BatchController::imageFilePathsInDirectory(dir.file("IMG_1.jpg")).empty());
    EXPECT_TRUE(BatchController::imageFilePathsInDirectory(dir.file("missing")).empty());
}

TEST(FolderScanTest, ImageFileTestMatchesTheLastExtensionExactly) {
    // Every case form of an extension is an entry.
    for (const auto& [path, image] : {std::pair{"/x/photo.jpeg", true}, {"/x/photo.JpEg", true}, {"/x/archive.tar.png", true},
                                      {"/x/photo.jpg.txt", false}, {"/x/photo.jpgx", false}, {"/x/photo", false},
                                      {"/x.jpg/photo", false}}) {
        EXPECT_EQ(BatchController::pathPointsToImageFile(path), image) << path;
    }
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
