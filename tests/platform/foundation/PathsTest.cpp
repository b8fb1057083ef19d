#include <gtest/gtest.h>

#include "platform/foundation/Paths.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using Components = std::vector<std::string>;

// Bytes that are not UTF-8 survive unchanged.
TEST(Paths, namesAndExtensionsAreTakenFromTheLastComponent) {
    using Cases = std::vector<std::pair<std::string, std::string>>;
    for (const auto& [path, name] : Cases{{"/in/IMG_0001.JPG", "IMG_0001.JPG"}, {"/in/folder/", "folder"}, {"/", "/"},
                                          {"name", "name"}, {"", ""}, {"/in/caf\xe9 \n\xff.JPG", "caf\xe9 \n\xff.JPG"}}) {
        EXPECT_EQ(path::lastPathComponent(path), name) << path;
    }
    for (const auto& [path, extension] : Cases{{"/in/x.final.jpg", "jpg"}, {"/in/.hidden.PNG", "PNG"}, {"/in/.jpg", "jpg"},
                                               {"/in.d/README", ""}, {"/in/trailing.", ""}}) {
        EXPECT_EQ(path::pathExtension(path), extension) << path;
    }
    for (const auto& [path, stem] : Cases{{"/in/x.final.jpg", "/in/x.final"}, {"/in.d/README", "/in.d/README"},
                                          {"/in/.jpg", "/in/.jpg"}, {"/tmp/", "/tmp"}, {"caf\xe9 \n\xff.JPG", "caf\xe9 \n\xff"}}) {
        EXPECT_EQ(path::stringByDeletingPathExtension(path), stem) << path;
    }
}

TEST(Paths, joiningAndSplittingUseOneSlash) {
    const std::tuple<const char*, const char*, const char*> joins[] = {
        {"/out", "a.png", "/out/a.png"}, {"/out/", "/a.png", "/out/a.png"}, {"/", "tmp", "/tmp"}, {"", "tmp", "tmp"}, {"", "/", ""}};
    for (const auto& [folder, name, joined] : joins) EXPECT_EQ(path::stringByAppendingPathComponent(folder, name), joined);
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
