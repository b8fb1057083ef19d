#include <gtest/gtest.h>
#include <unistd.h>

#include "jobs/FolderOpener.h"

namespace pellora {
namespace {

std::string currentFolder() {
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

TEST(FolderOpenerTest, FolderURLsAreAbsoluteAndCarryEveryByteOfTheName) {
    const struct {
        std::string folder;
        std::string url;
    } cases[] = {
        {"/out", "file:///out"},
        {"/out/", "file:///out"},
        {"/", "file:///"},
        {"/photos/../export/./june", "file:///export/june"},
        {"/a b/%#?", "file:///a%20b/%25%23%3F"},
        {"/caf\xc3\xa9", "file:///caf%C3%A9"},
        {"/bad\xff name", "file:///bad%FF%20name"},
        {"exports/june", "file://" + currentFolder() + "/exports/june"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fileURLForFolder(c.folder), c.url) << c.folder;
    }
}

} // namespace
} // namespace pellora
