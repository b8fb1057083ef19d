#include <filesystem>
#include <gtest/gtest.h>
#include <random>

#include "support/TestSupport.h"
#include "util/QVXAliasDataHelper.h"

namespace pellora {
namespace {

const std::string kNotFoundLine = "QVXAliasDataHelper: Could not resolve alias date. Error = -43";
const std::string kMalformedLine = "QVXAliasDataHelper: Could not resolve alias date. Error = -50";

std::string canonical(const std::string& path) { return std::filesystem::canonical(path).string(); }

std::string roundTrip(const std::string& path) {
    return QVXAliasDataHelper::filePathFromAliasData(QVXAliasDataHelper::aliasDataFromFilePath(path));
}

TEST(QVXAliasDataHelper, resolvesAnExistingFileOrFolderToItsPath) {
    test::TempDir dir;
    const std::string file = dir.file("odd name \xff.jpg");
    test::writeFile(file, "x");
    test::LogCapture log;
    EXPECT_EQ(roundTrip(file), canonical(file));
    EXPECT_EQ(roundTrip(dir.path() + "/"), canonical(dir.path()));
    EXPECT_TRUE(log.lines().empty());
}

TEST(QVXAliasDataHelper, followsARenameWithinTheFolderAndFindsNothingOnceTheFileIsGone) {
    test::TempDir dir;
    const std::string file = dir.file("before.png");
    test::writeFile(file, "x");
    const PlistData alias = QVXAliasDataHelper::aliasDataFromFilePath(file);
    std::filesystem::rename(file, dir.file("after.png"));
    EXPECT_EQ(QVXAliasDataHelper::filePathFromAliasData(alias), canonical(dir.file("after.png")));

    // A new file at the old name does not capture the alias while the renamed file exists...
    test::writeFile(file, "new");
    EXPECT_EQ(QVXAliasDataHelper::filePathFromAliasData(alias), canonical(dir.file("after.png")));
    // ...but stands in for it once the original is gone, as after a save that replaces the file.
    std::filesystem::remove(dir.file("after.png"));
    EXPECT_EQ(QVXAliasDataHelper::filePathFromAliasData(alias), canonical(file));
    // With both gone, nothing is found.
    std::filesystem::remove(file);
    test::LogCapture log;
    EXPECT_EQ(QVXAliasDataHelper::filePathFromAliasData(alias), "");
    EXPECT_EQ(log.lines(), std::vector<std::string>{kNotFoundLine});
}

TEST(QVXAliasDataHelper, pathThatNamesNothingGivesNoData) {
    test::TempDir dir;
    test::writeFile(dir.file("real"), "x");
    const std::string withNul = dir.file("real") + std::string(1, '\0') + "x";
    for (const std::string& path : {dir.file("missing"), std::string(), withNul}) {
        test::LogCapture log;
        EXPECT_TRUE(QVXAliasDataHelper::aliasDataFromFilePath(path).empty());
        EXPECT_EQ(log.lines(), std::vector<std::string>{"QVXAliasDataHelper: Can't get URL"});
    }
}

TEST(QVXAliasDataHelper, malformedDataGivesEmptyPath) {
    test::TempDir dir;
    test::writeFile(dir.file("f"), "x");
    const PlistData good = QVXAliasDataHelper::aliasDataFromFilePath(dir.file("f"));
    std::vector<PlistData> bad{{}, PlistData(good.begin(), good.end() - 1)};
    for (std::ptrdiff_t length = 0; length < std::ssize(good); length += 7) {
        bad.emplace_back(good.begin(), good.begin() + length);
    }
    PlistData trailing = good;
    trailing.push_back(0);
    PlistData otherVersion = good;
    otherVersion[4] = 2;
    PlistData hugeLength = good;
    hugeLength[38] = hugeLength[39] = hugeLength[40] = hugeLength[41] = 0xFF;
    PlistData relative = good;
    relative[42] = 'x';
    bad.insert(bad.end(), {trailing, otherVersion, hugeLength, relative});
    std::mt19937 random(7);
    for (int n = 0; n < 50; ++n) {
        PlistData noise(random() % 200);
        for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
        bad.push_back(noise);
    }
    for (const PlistData& data : bad) {
        test::LogCapture log;
        EXPECT_EQ(QVXAliasDataHelper::filePathFromAliasData(data), "");
        EXPECT_EQ(log.lines(), std::vector<std::string>{kMalformedLine}) << data.size();
    }
}

} // namespace
} // namespace pellora
