#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/imageio/ImageSource.h"
#include "support/TestSupport.h"

// Paths that are not readable images: each gives one log line and no source,
// and nothing waits or crashes. Files that lie are refused codec by codec in
// codecs/CodecTest.
namespace pellora {
namespace {

TEST(HostileInput, pathsThatAreNotReadableImagesGiveNoSource) {
    test::TempDir dir;
    test::writeFile(dir.file("empty.jpg"), "");
    ASSERT_EQ(::mkdir(dir.file("folder.jpg").c_str(), 0755), 0);
    test::writeFile(dir.file("notes.png"), "These are notes, not pixels.\n");
    ASSERT_EQ(::mkfifo(dir.file("pipe.png").c_str(), 0600), 0);  // opening must not wait for a writer
    for (const auto* name : {"empty.jpg", "folder.jpg", "notes.png", "missing.png", "pipe.png"}) {
        SCOPED_TRACE(name);
        test::LogCapture log;
        EXPECT_EQ(ImageSource::createWithPath(dir.file(name)), nullptr);
        EXPECT_EQ(log.lines().size(), 1u);
    }
    test::LogCapture log;
    EXPECT_EQ(ImageSource::createWithData({}), nullptr);
    EXPECT_EQ(log.lines().size(), 1u);
}

} // namespace
} // namespace pellora
