#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/foundation/PendingFile.h"
#include "jobs/JobTestSupport.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// Both kinds of pending file: unnamed where the folder allows it (the test
// folders are on ext4 and tmpfs, which do), and the hidden named one.
struct Kind {
    const char* name;
    PendingFile (*create)(const std::string&);
    bool unnamed;
};
const Kind kKinds[] = {{"unnamed", &PendingFile::create, true}, {"named", &PendingFile::createNamed, false}};

// A folder on tmpfs (TempDir honours TMPDIR).
struct TmpfsDir {
    test::ScopedVariable tmpdir{"TMPDIR", "/dev/shm"};
    test::TempDir dir;
};

TEST(PendingFileTest, NamesTheWholeFileOnlyAtCommitAndNeverTakesAName) {
    test::TempDir dir;
    TmpfsDir tmpfs;
    for (const Kind& kind : kKinds) {
        for (const std::string& folder : {dir.path(), tmpfs.dir.path()}) {
            const std::string prefix = folder + "/" + kind.name;
            const std::string fresh = prefix + "-fresh.jpg";
            const std::string taken = prefix + "-taken.jpg";
            const std::string replaced = prefix + "-replaced.jpg";
            SCOPED_TRACE(fresh);
            const std::vector<std::string> before = test::folderEntries(folder);

            PendingFile file = kind.create(fresh);
            ASSERT_TRUE(file.isOpen());
            EXPECT_EQ(file.isUnnamed(), kind.unnamed);
            ASSERT_TRUE(file.writeAll("new"));
            EXPECT_EQ(test::folderEntries(folder).size(), before.size() + (kind.unnamed ? 0 : 1));
            EXPECT_EQ(file.commit(false), PendingFile::Commit::Done);
            EXPECT_EQ(test::readFile(fresh), "new");

            // Another writer took the name between the check and the commit.
            PendingFile late = kind.create(taken);
            ASSERT_TRUE(late.writeAll("late"));
            test::writeFile(taken, "first");
            EXPECT_EQ(late.commit(false), PendingFile::Commit::NameTaken);
            EXPECT_EQ(test::readFile(taken), "first");

            test::writeFile(replaced, "old");
            PendingFile replacing = kind.create(replaced);
            ASSERT_TRUE(replacing.writeAll("whole"));
            EXPECT_EQ(replacing.commit(true), PendingFile::Commit::Done);
            EXPECT_EQ(test::readFile(replaced), "whole");

            PendingFile dropped = kind.create(prefix + "-dropped.jpg");
            ASSERT_TRUE(dropped.writeAll("dropped"));
            dropped.discard();
            std::vector<std::string> expected = before;
            for (const std::string& path : {fresh, taken, replaced}) expected.push_back(path.substr(folder.size() + 1));
            const std::vector<std::string> after = test::folderEntries(folder);
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(after, expected);  // nothing hidden left behind
            for (const std::string& path : {fresh, taken, replaced}) ::unlink(path.c_str());
        }
    }
}

// A folder that cannot hold the file gives its error number.
TEST(PendingFileTest, NamesOfTheLongestLengthAreWrittenAndReplacedWhereTheFolderAllows) {
    test::TempDir dir;
    for (const Kind& kind : kKinds) {
        // 255 bytes, the limit, ending in a character of two bytes that the
        // shortened temporary name must not split.
        std::string name = std::string(kind.name) + std::string(255 - 6 - std::string(kind.name).size(), 'n');
        name += "\xC3\xA9.jpg";
        ASSERT_EQ(name.size(), 255u);
        const std::string path = dir.file(name);
        for (const bool replace : {false, true}) {
            PendingFile file = kind.create(path);
            ASSERT_TRUE(file.isOpen()) << kind.name;
            ASSERT_TRUE(file.writeAll(replace ? "second" : "first"));
            EXPECT_EQ(file.commit(replace), PendingFile::Commit::Done) << kind.name;
            EXPECT_EQ(test::readFile(path), replace ? "second" : "first");
        }
    }
    EXPECT_EQ(test::folderEntries(dir.path()).size(), 2u);
    test::writeFile(dir.file("plain"), "");
    for (const std::string& path : {dir.file("missing/out.jpg"), dir.file("plain/out.jpg")}) {
        const PendingFile file = PendingFile::create(path);
        EXPECT_FALSE(file.isOpen());
        EXPECT_NE(file.error(), 0) << path;
    }
}

} // namespace
} // namespace pellora
