#include <gtest/gtest.h>

#include "platform/foundation/Paths.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using Components = std::vector<std::string>;

// Bytes that are not UTF-8 survive unchanged.
TEST(Paths, namesAndExtensionsAreTakenFromTheLastComponent) {
    EXPECT_EQ(path::lastPathComponent("/in/IMG_0001.JPG"), "IMG_0001.JPG");
    EXPECT_EQ(path::lastPathComponent("/in/folder/"), "folder");
    EXPECT_EQ(path::lastPathComponent("/"), "/");
    EXPECT_EQ(path::lastPathComponent("name"), "name");
    EXPECT_EQ(path::lastPathComponent(""), "");
    EXPECT_EQ(path::lastPathComponent("/in/caf\xe9 \n\xff.JPG"), "caf\xe9 \n\xff.JPG");
    EXPECT_EQ(path::pathExtension("/in/x.final.jpg"), "jpg");
    EXPECT_EQ(path::pathExtension("/in/.hidden.PNG"), "PNG");
    EXPECT_EQ(path::pathExtension("/in/.jpg"), "jpg");
    EXPECT_EQ(path::pathExtension("/in.d/README"), "");
    EXPECT_EQ(path::pathExtension("/in/trailing."), "");
    EXPECT_EQ(path::stringByDeletingPathExtension("/in/x.final.jpg"), "/in/x.final");
    EXPECT_EQ(path::stringByDeletingPathExtension("/in.d/README"), "/in.d/README");
    EXPECT_EQ(path::stringByDeletingPathExtension("/in/.jpg"), "/in/.jpg");
    EXPECT_EQ(path::stringByDeletingPathExtension("/tmp/"), "/tmp");
    EXPECT_EQ(path::stringByDeletingPathExtension("caf\xe9 \n\xff.JPG"), "caf\xe9 \n\xff");
}

TEST(Paths, joiningAndSplittingUseOneSlash) {
    EXPECT_EQ(path::stringByAppendingPathComponent("/out", "a.png"), "/out/a.png");
    EXPECT_EQ(path::stringByAppendingPathComponent("/out/", "/a.png"), "/out/a.png");
    EXPECT_EQ(path::stringByAppendingPathComponent("/", "tmp"), "/tmp");
    EXPECT_EQ(path::stringByAppendingPathComponent("", "tmp"), "tmp");
    EXPECT_EQ(path::stringByAppendingPathComponent("", "/"), "");
    EXPECT_EQ(path::pathComponents("/a/b"), (Components{"/", "a", "b"}));
    EXPECT_EQ(path::pathComponents("a//b/"), (Components{"a", "b", "/"}));
    EXPECT_EQ(path::pathComponents("/"), (Components{"/"}));
    EXPECT_EQ(path::pathComponents(""), Components{});
}

TEST(Paths, tildeAndXdgFolders) {
    test::TempHome home;
    EXPECT_EQ(path::stringByExpandingTildeInPath("~/Pictures/Pellora Images"), home.home() + "/Pictures/Pellora Images");
    EXPECT_EQ(path::stringByExpandingTildeInPath("/abs/~"), "/abs/~");
    EXPECT_EQ(path::configHome(), home.configHome());
    ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(path::configHome(), home.home() + "/.config");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(path::configHome(), home.home() + "/.config");
}

} // namespace
} // namespace pellora
