#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "jobs/BatchController.h"
#include "jobs/JobTestSupport.h"
#include "model/PelloraImage.h"
#include "platform/foundation/MainThread.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using test::RecordingWindow;
using test::TempDir;
using test::writeFile;

std::vector<std::string> listedPaths(const BatchController& controller) {
    std::vector<std::string> paths;
    for (const auto& record : controller.pelloraImages().snapshot()) paths.push_back(record->inputPath());
    return paths;
}

class ImportJobTest : public ::testing::Test {
protected:
    void importAndWait(std::vector<std::string> paths) {
        controller.importImageFilesAtPaths(std::move(paths));
        controller.waitUntilIdle();
    }

    TempDir dir;
    InlineDispatcher mainThread;
    RecordingWindow window;
    BatchController controller{mainThread, window, &window};
};

// An import without candidates still shows and clears the busy state.
TEST_F(ImportJobTest, ImportAddsEachNewPathOnceInOrderAndNotesAndCountsEveryCandidate) {
    writeFile(dir.file("notes.txt"), "");
    importAndWait({dir.file("notes.txt"), dir.file("no-such-folder")});
    EXPECT_EQ(window.events(), (std::vector<std::string>{"disable", "update", "ready:0", "reload", "update"}));
    EXPECT_TRUE(controller.pelloraImages().empty());
    EXPECT_FALSE(controller.isImporting());
    EXPECT_EQ(window.noteEnds(), 0);

    ::mkdir(dir.file("folder").c_str(), 0755);
    writeFile(dir.file("folder/inside.png"), "");
    writeFile(dir.file("a.jpg"), "");
    writeFile(dir.file("A.jpg"), "");
    const std::vector<std::string> paths{dir.file("a.jpg"),       dir.file("folder"),   dir.file("a.jpg"),
                                         dir.file("missing.png"), dir.file("notes.txt"), dir.file("A.jpg")};
    importAndWait(paths);

    // A repeat adds once; a missing file named like an image is taken; case matters.
    EXPECT_EQ(listedPaths(controller), (std::vector<std::string>{dir.file("a.jpg"), dir.file("folder/inside.png"),
                                                                 dir.file("missing.png"), dir.file("A.jpg")}));
    const std::vector<std::string> candidates{dir.file("a.jpg"), dir.file("folder/inside.png"), dir.file("a.jpg"),
                                              dir.file("missing.png"), dir.file("A.jpg")};
    EXPECT_EQ(window.notes(), candidates);
    const auto events = window.events();
    ASSERT_GE(events.size(), 11u);
    EXPECT_EQ(std::vector<std::string>(events.begin() + 5, events.begin() + 8),
              (std::vector<std::string>{"disable", "update", "ready:5"}));
    EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
              (std::vector<std::string>{"progress:5", "reload", "update"}));
    EXPECT_FALSE(controller.isImporting());

    // A listed path adds nothing again but is still noted and counted.
    importAndWait({dir.file("a.jpg")});
    EXPECT_EQ(controller.pelloraImages().count(), 4u);
    EXPECT_EQ(window.notes().size(), candidates.size() + 1);
    EXPECT_EQ(window.noteEnds(), 2);
    EXPECT_EQ(window.eventsStartingWith("progress:").back(), "progress:1");
}

TEST_F(ImportJobTest, ProgressOfALargeImportIsCoalescedAndEndsExact) {
    constexpr int kFiles = 4000;
    for (int n = 0; n < kFiles; ++n) writeFile(dir.file("img" + std::to_string(n) + ".jpg"), "");
    const auto start = std::chrono::steady_clock::now();
    importAndWait({dir.path()});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const auto progress = window.eventsStartingWith("progress:");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), "progress:" + std::to_string(kFiles));
    EXPECT_LE(progress.size(), static_cast<std::size_t>(seconds * 31) + 2);
    EXPECT_EQ(window.notes().size(), static_cast<std::size_t>(kFiles));
    // The notes went in batches, but the list is told of their end once.
    EXPECT_EQ(window.noteEnds(), 1);
    EXPECT_EQ(controller.pelloraImages().count(), static_cast<std::size_t>(kFiles));
}

// Holds the import thread at its first progress-bar set-up until released.
class GatedWindow final : public RecordingWindow {
public:
    std::promise<void> reached;
    std::shared_future<void> release;

protected:
    void record(const std::string& event) override {
        RecordingWindow::record(event);
        if (event.rfind("ready:", 0) == 0 && !_held) {
            _held = true;
            reached.set_value();
            release.wait();
        }
    }

private:
    bool _held = false;  // touched by the import thread only
};

TEST_F(ImportJobTest, ASecondRequestWaitsBehindTheRunningImport) {
    writeFile(dir.file("a.jpg"), "");
    writeFile(dir.file("b.jpg"), "");
    GatedWindow gated;
    std::promise<void> open;
    gated.release = open.get_future().share();
    {
        BatchController queued(mainThread, gated);
        queued.importImageFilesAtPaths({dir.file("a.jpg"), dir.file("b.jpg")});
        gated.reached.get_future().wait();
        queued.importImageFilesAtPaths({dir.file("b.jpg"), dir.file("a.jpg")});
        open.set_value();
        queued.waitUntilIdle();
        EXPECT_EQ(listedPaths(queued), (std::vector<std::string>{dir.file("a.jpg"), dir.file("b.jpg")}));
        EXPECT_FALSE(queued.isImporting());
    }
    // The second request ran after the first one had finished, not beside it.
    EXPECT_EQ(gated.events(), (std::vector<std::string>{"disable", "update", "ready:2", "disable", "progress:2",
                                                        "reload", "update", "update", "ready:2", "progress:2",
                                                        "reload", "update"}));
}

TEST_F(ImportJobTest, WindowEffectsReachTheMainThreadInOrderAndTheReloadIsAwaited) {
    writeFile(dir.file("a.jpg"), "");
    QueueDispatcher queue;
    RecordingWindow queuedWindow;
    BatchController queued(queue, queuedWindow);
    queued.importImageFilesAtPaths({dir.path()});
    // Nothing but the button reaches the window until the main thread runs the queue.
    while (queuedWindow.eventsStartingWith("update").size() < 2) queue.waitAndDrain(std::chrono::milliseconds(10));
    queued.waitUntilIdle();
    EXPECT_EQ(queuedWindow.events(),
              (std::vector<std::string>{"disable", "update", "ready:1", "progress:1", "reload", "update"}));
}

} // namespace
} // namespace pellora
