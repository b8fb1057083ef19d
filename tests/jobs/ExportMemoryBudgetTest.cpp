#include <fmt/format.h>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

#include "jobs/BatchController.h"
#include "jobs/JobTestSupport.h"
#include "model/PelloraImage.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/PixelMemoryBudget.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using test::decodedSize;
using test::DecodedSize;
using test::writeTestImage;

// Keeps every export result, reasons included.
class ResultLog : public ExportResultObserver {
public:
    void recordExported(const ExportRecordResult& result) override {
        std::lock_guard lock(_mutex);
        _results.push_back(result);
    }
    std::vector<ExportRecordResult> results() const {
        std::lock_guard lock(_mutex);
        return _results;
    }

private:
    mutable std::mutex _mutex;
    std::vector<ExportRecordResult> _results;
};

// Exports at full size as JPEG under a small process budget: a 100 x 100
// record needs its 40,000-byte output bitmap and more.
class ExportMemoryBudgetTest : public ::testing::Test {
protected:
    static constexpr std::uint64_t kBudget = 100'000;

    ExportMemoryBudgetTest() : _oldCapacity(PixelMemoryBudget::shared().capacity()) {
        PixelMemoryBudget::shared().setCapacity(kBudget);
        registerDefaults();
        UserDefaults::standard().setObject(PlistValue(3), QVXDefaultsKey_scalingMethod);  // full size
        UserDefaults::standard().setObject(PlistValue(0), QVXDefaultsKey_exportFormat);   // JPEG
        ::mkdir(dir.file("in").c_str(), 0755);
        ::mkdir(dir.file("out").c_str(), 0755);
        controller.setExportResultObserver(&results);
    }
    ~ExportMemoryBudgetTest() override { PixelMemoryBudget::shared().setCapacity(_oldCapacity); }

    std::string in(const std::string& name) const { return dir.file("in/" + name); }
    std::string out(const std::string& name) const { return dir.file("out/" + name); }
    void add(const std::string& name, std::uint32_t side) {
        ASSERT_TRUE(writeTestImage(in(name), side, side, kUTTypePNG));
        controller.pelloraImages().addObject(PelloraImage::pelloraImageWithPath(in(name)));
    }

    std::uint64_t _oldCapacity;
    test::TempHome home;
    test::TempDir dir;
    test::LogCapture log;
    InlineDispatcher mainThread;
    test::RecordingWindow window;
    ResultLog results;
    BatchController controller{mainThread, window};
};

TEST_F(ExportMemoryBudgetTest, aRecordLargerThanTheBudgetFailsWithAClearLineAndTheNextGoesOn) {
    add("huge.png", 400);
    add("small.png", 20);
    ASSERT_TRUE(controller.exportImagesToPath(dir.file("out")));
    controller.waitUntilIdle();

    const auto done = results.results();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].outcome, ExportOutcome::Failed);
    EXPECT_EQ(done[0].reason, ExportFailureReason::TooLarge);
    EXPECT_EQ(done[1].outcome, ExportOutcome::Written);
    EXPECT_EQ(decodedSize(out("small.jpg")), (DecodedSize{20, 20}));
    EXPECT_FALSE(test::fileExists(out("huge.jpg")));
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("*** Error: " + in("huge.png") + " (400 x 400 pixels) needs ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "*** Error writing " + out("huge.jpg"));
    EXPECT_EQ(PixelMemoryBudget::shared().inUse(), 0u);
}

TEST_F(ExportMemoryBudgetTest, aRecordWaitsWhileTheBudgetIsHeldAndGoesOnWhenItIsGivenBack) {
    add("a.png", 100);
    PixelReservation holder = PixelMemoryBudget::shared().reserve(kBudget, "the viewer");
    ASSERT_TRUE(controller.exportImagesToPath(dir.file("out")));
    while (PixelMemoryBudget::shared().waiting() == 0) std::this_thread::yield();
    EXPECT_TRUE(controller.isExporting());
    EXPECT_FALSE(test::fileExists(out("a.jpg")));
    holder.release();
    controller.waitUntilIdle();
    EXPECT_EQ(decodedSize(out("a.jpg")), (DecodedSize{100, 100}));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(ExportMemoryBudgetTest, workersSharingABudgetForOneRecordAtATimeWriteEveryRecordInOrder) {
    controller.setExportWorkerCount(3);
    std::vector<std::string> expected;
    for (int index = 0; index < 8; ++index) {
        const std::string name = fmt::format("r{}", index);
        add(name + ".png", 100);
        expected.push_back(out(name + ".jpg"));
    }
    ASSERT_TRUE(controller.exportImagesToPath(dir.file("out")));
    controller.waitUntilIdle();
    std::vector<std::string> written;
    for (const ExportRecordResult& result : results.results()) {
        if (result.outcome == ExportOutcome::Written) written.push_back(result.outputPath);
    }
    EXPECT_EQ(written, expected);
    EXPECT_EQ(PixelMemoryBudget::shared().inUse(), 0u);
}

} // namespace
} // namespace pellora
