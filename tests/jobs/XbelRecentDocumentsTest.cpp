#include <gtest/gtest.h>

#include "jobs/XbelRecentDocuments.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

TEST(XbelRecentDocuments, WritesOnceTheImportHasNotedAllItsPaths) {
    test::TempDir dir;
    const std::string file = dir.file("data/recently-used.xbel");
    XbelRecentDocuments recent(RecentlyUsedXbel(file, "Pellora", "'pellora %u'"));
    recent.noteNewRecentDocumentURL("/p/a.png");
    recent.noteNewRecentDocumentURL("/p/b.png");
    recent.waitUntilWritten();
    EXPECT_FALSE(test::fileExists(file));
    recent.importDidNoteAllDocuments();
    recent.waitUntilWritten();
    EXPECT_EQ(recent.recentDocumentPaths(20), (std::vector<std::string>{"/p/b.png", "/p/a.png"}));
    recent.clearRecentDocuments();
    recent.waitUntilWritten();
    EXPECT_TRUE(recent.recentDocumentPaths(20).empty());
}

} // namespace
} // namespace pellora
