#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/foundation/FileUtil.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// A bare name is in the working folder, not at the root: a file written under
// a bare name gets its temporary sibling, and its final name, there.
TEST(FileUtil, theFolderOfABareNameIsTheWorkingFolder) {
    using Cases = std::vector<std::pair<std::string, std::string>>;
    for (const auto& [path, folder] : Cases{{"a.jpg", "."}, {"/a.jpg", "/"}, {"/in/a.jpg", "/in"}, {"in/a.jpg", "in"}}) {
        EXPECT_EQ(folderOfPath(path), folder) << path;
    }

    test::TempDir dir;
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    const bool written = writeFileAtomically("bare name.txt", "contents");
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_TRUE(written);
    EXPECT_EQ(test::readFile(dir.file("bare name.txt")), "contents");
}

} // namespace
} // namespace pellora
