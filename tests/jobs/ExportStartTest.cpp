#include <atomic>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>

#include "jobs/BatchController.h"
#include "jobs/JobTestSupport.h"
#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

namespace pellora {
namespace {

class ExportStartTest : public ::testing::Test {
protected:
    ExportStartTest() { test::freshSettings(); }

    test::TempDir dir;
    QueueDispatcher mainThread;
    test::RecordingWindow window;
    BatchController controller{mainThread, window};
};

// A relative folder is made in the current folder.
TEST_F(ExportStartTest, FoldersAreCreatedAlongTheWayAndAPlainFileIsLeftAlone) {
    BatchController::createFoldersAlongPath(dir.file("one/two"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("one/two")));
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    BatchController::createFoldersAlongPath("rel/deeper");
    std::filesystem::current_path(previous);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("rel/deeper")));

    test::writeFile(dir.file("plain"), "data");
    BatchController::createFoldersAlongPath(dir.file("plain/below"));
    EXPECT_EQ(test::readFile(dir.file("plain")), "data");
    EXPECT_FALSE(test::fileExists(dir.file("plain/below")));
}

// Asking for the folder starts nothing. A fixed folder typed by hand as "~/..."
// is in the home folder, not in a folder named "~" in the current one.
TEST_F(ExportStartTest, ALeadingTildeInTheFixedFolderMeansTheHomeFolder) {
    EXPECT_EQ(controller.exportButtonClicked(), BatchController::ExportButtonResult::DestinationNeeded);
    EXPECT_FALSE(controller.isExporting());
    EXPECT_TRUE(window.events().empty());
    UserDefaults::standard().setObject(1, QVXDefaultsKey_exportDestination);
    UserDefaults::standard().setObject("~/Exports/Resized", QVXDefaultsKey_exportStaticLocation);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const auto started = controller.exportButtonClicked();
    std::filesystem::current_path(previous);
    EXPECT_EQ(started, BatchController::ExportButtonResult::Started);
    while (window.eventsStartingWith("update").size() < 2) mainThread.waitAndDrain(std::chrono::milliseconds(10));
    controller.waitUntilIdle();
    EXPECT_TRUE(std::filesystem::is_directory(test::settingsHome().home() + "/Exports/Resized"));
    EXPECT_FALSE(test::fileExists(dir.file("~")));
}

TEST_F(ExportStartTest, TheFixedFolderIsCreatedAndASecondClickOnlyCancels) {
    UserDefaults::standard().setObject(1, QVXDefaultsKey_exportDestination);
    UserDefaults::standard().setObject(dir.file("a/b"), QVXDefaultsKey_exportStaticLocation);
    // The record's file is missing: the job logs while it is on the record, and waits there.
    controller.pelloraImages().addObject(PelloraImage::pelloraImageWithPath(dir.file("missing.png")));
    std::promise<void> reached;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> first{true};
    Log::setCapture([&](const std::string&) {
        if (first.exchange(false)) {
            reached.set_value();
            released.wait();
        }
    });

    EXPECT_EQ(controller.exportButtonClicked(), BatchController::ExportButtonResult::Started);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("a/b")));
    reached.get_future().wait();
    UserDefaults::standard().setObject(dir.file("c"), QVXDefaultsKey_exportStaticLocation);
    EXPECT_EQ(controller.exportButtonClicked(), BatchController::ExportButtonResult::CancelRequested);
    EXPECT_TRUE(controller.isCanceled());
    EXPECT_FALSE(test::fileExists(dir.file("c")));
    release.set_value();

    while (window.eventsStartingWith("update").size() < 2) mainThread.waitAndDrain(std::chrono::milliseconds(10));
    controller.waitUntilIdle();
    Log::setCapture({});
    EXPECT_FALSE(controller.isExporting());
    EXPECT_FALSE(controller.isCanceled());
}

} // namespace
} // namespace pellora
