#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "jobs/BatchController.h"
#include "jobs/JobTestSupport.h"
#include "model/PelloraImage.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using test::decodedSize;
using test::DecodedSize;
using test::hiddenEntries;
using test::readFile;
using test::writeTestImage;

class ExportJobTest : public ::testing::Test {
protected:
    ExportJobTest() {
        registerDefaults();
        ::mkdir(in().c_str(), 0755);
        ::mkdir(out().c_str(), 0755);
    }

    static void set(const char* key, const PlistValue& value) { UserDefaults::standard().setObject(value, key); }
    std::string in() const { return dir.file("in"); }
    std::string out() const { return dir.file("out"); }
    std::string in(const std::string& name) const { return dir.file("in/" + name); }
    std::string out(const std::string& name) const { return dir.file("out/" + name); }

    void add(const std::string& path) { controller.pelloraImages().addObject(PelloraImage::pelloraImageWithPath(path)); }
    void exportAndWait(const std::string& folder) {
        ASSERT_TRUE(controller.exportImagesToPath(folder));
        controller.waitUntilIdle();
    }

    test::TempHome home;  // before the first use of the settings store
    test::TempDir dir;
    test::LogCapture log;
    InlineDispatcher mainThread;
    test::RecordingWindow window;
    BatchController controller{mainThread, window};
    struct Observe {
        Observe(BatchController& c, test::RecordingWindow& w) { c.setExportResultObserver(&w); }
    } observe{controller, window};
};

TEST_F(ExportJobTest, ExportsEveryRecordInOrderAndEmptiesTheList) {
    set(QVXDefaultsKey_exportFormat, 7);  // not a format index: JPEG
    set(QVXDefaultsKey_scalingMethod, 1);
    set(QVXDefaultsKey_scalingMaxWidthOrHeight, 40);
    ASSERT_TRUE(writeTestImage(in("a.png"), 80, 60, kUTTypePNG));
    ASSERT_TRUE(writeTestImage(in("b.jpg"), 30, 20, kUTTypeJPEG));
    add(in("a.png"));
    add(in("b.jpg"));
    exportAndWait(out());

    EXPECT_EQ(decodedSize(out("a.jpg")), (DecodedSize{40, 30}));
    EXPECT_EQ(decodedSize(out("b.jpg")), (DecodedSize{30, 20}));  // never enlarged
    EXPECT_EQ(window.events(), (std::vector<std::string>{"update", "ready:2", "written:" + out("a.jpg"), "progress:1",
                                                         "written:" + out("b.jpg"), "progress:2", "reload",
                                                         "update"}));
    EXPECT_TRUE(controller.pelloraImages().empty());
    EXPECT_FALSE(controller.isExporting());
    EXPECT_FALSE(controller.isCanceled());
    EXPECT_TRUE(hiddenEntries(out()).empty());
}

TEST_F(ExportJobTest, ASecondImageOfTheSameNameFailsAndStaysWhileAnOldOutputIsSkippedOrReplaced) {
    set(QVXDefaultsKey_scalingMethod, 3);  // full size
    ::mkdir(in("b").c_str(), 0755);
    ASSERT_TRUE(writeTestImage(in("camera.jpg"), 20, 10, kUTTypeJPEG));
    ASSERT_TRUE(writeTestImage(in("b/camera.jpg"), 16, 12, kUTTypeJPEG));
    ASSERT_TRUE(writeTestImage(in("old.png"), 6, 4, kUTTypePNG));
    using enum ExportOutcome;
    for (const bool overwrite : {false, true}) {
        const std::string folder = dir.file(overwrite ? "replacing" : "keeping");
        ::mkdir(folder.c_str(), 0755);
        ASSERT_TRUE(writeTestImage(folder + "/old.jpg", 2, 2, kUTTypeJPEG));  // there before the export
        set(QVXDefaultsKey_overriteExistingFilesOnExport, overwrite);
        controller.pelloraImages().removeAllObjects();
        for (const char* name : {"camera.jpg", "b/camera.jpg", "old.png"}) add(in(name));
        const ExportPlan plan = controller.planExportToPath(folder);
        exportAndWait(folder);

        // The check made before the export foretold what it did.
        const ExportReport report = controller.lastExportReport();
        std::vector<std::pair<ExportOutcome, ExportFailureReason>> outcomes;
        std::vector<std::pair<ExportOutcome, ExportFailureReason>> planned;
        for (const ExportRecordResult& result : report.results()) outcomes.emplace_back(result.outcome, result.reason);
        for (const PlannedOutput& output : plan.outputs) {
            planned.emplace_back(output.outcome == PlannedOutcome::Write  ? Written
                                 : output.outcome == PlannedOutcome::Skip ? Skipped
                                                                          : Failed,
                                 output.outcome == PlannedOutcome::Clash ? ExportFailureReason::NameClash
                                                                         : ExportFailureReason::None);
        }
        EXPECT_EQ(planned, outcomes);
        EXPECT_EQ(outcomes, (std::vector<std::pair<ExportOutcome, ExportFailureReason>>{
                                {Written, ExportFailureReason::None},
                                {Failed, ExportFailureReason::NameClash},
                                {overwrite ? Written : Skipped, ExportFailureReason::None}}))
            << "overwrite " << overwrite;
        EXPECT_EQ(decodedSize(folder + "/camera.jpg"), (DecodedSize{20, 10}));  // the first one's, never replaced
        EXPECT_EQ(decodedSize(folder + "/old.jpg"), overwrite ? (DecodedSize{6, 4}) : (DecodedSize{2, 2}));
        ASSERT_EQ(controller.pelloraImages().count(), 1u);
        const PelloraImagePtr kept = controller.pelloraImages().firstObject();
        EXPECT_EQ(kept->inputPath(), in("b/camera.jpg"));
        EXPECT_EQ(kept->lastExportFailure(), ExportFailureReason::NameClash);
        EXPECT_TRUE(log.contains("*** Error writing " + folder + "/camera.jpg"));
        EXPECT_TRUE(hiddenEntries(folder).empty());
    }
}

TEST_F(ExportJobTest, FailedRecordsStayWithTheirReasonsAndTheNextExportTriesThemAgain) {
    set(QVXDefaultsKey_exportFormat, 2);
    ASSERT_TRUE(writeTestImage(in("good.png"), 8, 6, kUTTypePNG));
    test::writeFile(in("broken.png"), "not a picture");
    test::writeFile(dir.file("plain-file"), "");
    struct Finished : ExportResultObserver {
        void recordExported(const ExportRecordResult&) override {}
        void exportFinished(const ExportReport& report) override { counts.push_back(report.countsText()); }
        std::vector<std::string> counts;
    } finished;
    controller.setExportResultObserver(&finished);

    // Workers prepare the records after the failed one while it stays first in the list.
    controller.setExportWorkerCount(3);
    for (const char* name : {"broken.png", "missing.png", "good.png"}) add(in(name));
    exportAndWait(out());
    std::vector<std::pair<std::string, ExportFailureReason>> kept;
    for (const PelloraImagePtr& record : controller.pelloraImages().snapshot()) {
        kept.emplace_back(record->inputPath(), record->lastExportFailure());
    }
    EXPECT_EQ(kept, (std::vector<std::pair<std::string, ExportFailureReason>>{
                        {in("broken.png"), ExportFailureReason::CannotDecode},
                        {in("missing.png"), ExportFailureReason::CannotDecode}}));
    EXPECT_EQ(test::folderEntries(out()), std::vector<std::string>{"good.png"});

    // Mended, broken.png is written the next time; a folder path that is a
    // plain file refuses the output.
    ASSERT_TRUE(writeTestImage(in("broken.png"), 4, 4, kUTTypePNG));
    exportAndWait(out());
    EXPECT_EQ(controller.pelloraImages().count(), 1u);
    add(in("good.png"));
    exportAndWait(dir.file("plain-file"));
    EXPECT_EQ(controller.lastExportReport().results().back().reason, ExportFailureReason::CannotWriteFolder);
    EXPECT_EQ(finished.counts, (std::vector<std::string>{"1 written, 0 skipped, 2 failed",
                                                         "1 written, 0 skipped, 1 failed",
                                                         "0 written, 0 skipped, 2 failed"}));
    EXPECT_EQ(controller.pelloraImages().count(), 2u);
}

TEST_F(ExportJobTest, OnlyTheLastExtensionIsReplacedAndAMissingOneIsAppended) {
    set(QVXDefaultsKey_exportFormat, 3);
    ASSERT_TRUE(writeTestImage(in("x.final.jpg"), 8, 8, kUTTypeJPEG));
    ASSERT_TRUE(writeTestImage(in("noextension"), 8, 8, kUTTypeJPEG));
    add(in("x.final.jpg"));
    add(in("noextension"));
    exportAndWait(out());
    EXPECT_EQ(test::folderEntries(out()), (std::vector<std::string>{"noextension.tiff", "x.final.tiff"}));
    EXPECT_EQ(decodedSize(out("x.final.tiff")), (DecodedSize{8, 8}));
}

TEST_F(ExportJobTest, PercentageLimitsComeFromTheUprightSize) {
    set(QVXDefaultsKey_scalingMethod, 2);
    set(QVXDefaultsKey_scalingPercentage, 0.5f);
    ASSERT_TRUE(writeTestImage(in("turned.jpg"), 3000, 2000, kUTTypeJPEG));
    ASSERT_TRUE(test::exifToolWrite(in("turned.jpg"), "-Orientation#=6"));
    ASSERT_TRUE(writeTestImage(in("plain.png"), 300, 200, kUTTypePNG));
    add(in("turned.jpg"));
    add(in("plain.png"));
    exportAndWait(out());
    EXPECT_EQ(decodedSize(out("turned.jpg")), (DecodedSize{1000, 1500}));
    EXPECT_EQ(decodedSize(out("plain.jpg")), (DecodedSize{150, 100}));
}

TEST_F(ExportJobTest, PercentagesThatLimitNothingWriteTheFullSize) {
    set(QVXDefaultsKey_scalingMethod, 2);
    set(QVXDefaultsKey_exportFormat, 2);
    ASSERT_TRUE(writeTestImage(in("big.png"), 30, 20, kUTTypePNG));
    ASSERT_TRUE(writeTestImage(in("tiny.png"), 30, 20, kUTTypePNG));
    set(QVXDefaultsKey_scalingPercentage, 3.0f);  // above 1: never enlarged
    add(in("big.png"));
    exportAndWait(out());
    set(QVXDefaultsKey_scalingPercentage, 0.01f);  // limits floor to 0: limiting is off
    add(in("tiny.png"));
    exportAndWait(out());
    EXPECT_EQ(decodedSize(out("big.png")), (DecodedSize{30, 20}));
    EXPECT_EQ(decodedSize(out("tiny.png")), (DecodedSize{30, 20}));
}

TEST_F(ExportJobTest, CancelDuringTheThirdOfTenFinishesItAndKeepsTheRest) {
    for (int n = 1; n <= 10; ++n) {
        const std::string name = fmt::format("p{}.png", n);
        if (n != 3) {
            ASSERT_TRUE(writeTestImage(in(name), 8, 8, kUTTypePNG));
        }
        add(in(name));  // p3.png is missing: its failure logs while the job is on it
    }
    Log::setCapture([this](const std::string&) { controller.setIsCanceled(true); });
    exportAndWait(out());
    Log::setCapture({});

    // p3.png failed and stays, before the seven records not reached.
    EXPECT_EQ(controller.pelloraImages().count(), 8u);
    EXPECT_EQ(controller.pelloraImages().objectAtIndex(0)->inputPath(), in("p3.png"));
    EXPECT_EQ(controller.pelloraImages().objectAtIndex(1)->inputPath(), in("p4.png"));
    EXPECT_TRUE(controller.lastExportReport().wasCanceled());
    EXPECT_EQ(controller.lastExportReport().results().size(), 3u);
    EXPECT_EQ(window.eventsStartingWith("progress:").back(), "progress:3");
    EXPECT_EQ(window.eventsStartingWith("ready:"), std::vector<std::string>{"ready:10"});
    EXPECT_EQ(window.eventsStartingWith("failed:"), std::vector<std::string>{"failed:" + out("p3.jpg")});
    EXPECT_EQ(test::folderEntries(out()), (std::vector<std::string>{"p1.jpg", "p2.jpg"}));
    EXPECT_FALSE(controller.isExporting());
    EXPECT_FALSE(controller.isCanceled());
}

TEST_F(ExportJobTest, AnEmptyListResetsTheFlagsReloadsAndRefreshes) {
    exportAndWait(out());
    EXPECT_EQ(window.events(), (std::vector<std::string>{"update", "ready:0", "reload", "update"}));
    EXPECT_FALSE(controller.isExporting());
}

TEST_F(ExportJobTest, NoOutputReplacesASourceOfTheJob) {
    set(QVXDefaultsKey_overriteExistingFilesOnExport, true);
    set(QVXDefaultsKey_scalingMethod, 1);
    set(QVXDefaultsKey_scalingMaxWidthOrHeight, 10);
    // c.png comes first: its output c.jpg is the source of a later record.
    for (const char* name : {"c.png", "a.jpg", "c.jpg"}) ASSERT_TRUE(writeTestImage(in(name), 40, 30, kUTTypeJPEG));
    ASSERT_TRUE(writeTestImage(in("linked.jpg"), 40, 30, kUTTypeJPEG));
    ASSERT_TRUE(writeTestImage(in("hard.jpg"), 40, 30, kUTTypeJPEG));
    ASSERT_EQ(::symlink(in("linked.jpg").c_str(), out("linked.jpg").c_str()), 0);
    ASSERT_EQ(::link(in("hard.jpg").c_str(), out("hard.jpg").c_str()), 0);
    const std::vector<std::string> names{"c.png", "a.jpg", "c.jpg", "linked.jpg", "hard.jpg"};
    std::vector<std::string> before;
    for (const auto& name : names) before.push_back(readFile(in(name)));

    for (const char* name : {"c.png", "a.jpg", "c.jpg"}) add(in(name));  // into their own folder
    exportAndWait(in());
    EXPECT_EQ(controller.pelloraImages().count(), 3u);  // failed: they stay
    controller.pelloraImages().removeAllObjects();
    add(in("linked.jpg"));  // out/linked.jpg is a link to it
    add(in("hard.jpg"));    // out/hard.jpg is the same file
    exportAndWait(out());

    for (std::size_t n = 0; n < names.size(); ++n) EXPECT_EQ(readFile(in(names[n])), before[n]) << names[n];
    EXPECT_EQ(window.eventsStartingWith("failed:"),
              (std::vector<std::string>{"failed:" + in("c.jpg"), "failed:" + in("a.jpg"), "failed:" + in("c.jpg"),
                                        "failed:" + out("linked.jpg"), "failed:" + out("hard.jpg")}));
    EXPECT_TRUE(log.contains("*** Error writing " + in("a.jpg")));
    const ExportReport report = controller.lastExportReport();
    for (const ExportRecordResult& result : report.results()) {
        EXPECT_EQ(result.reason, ExportFailureReason::WouldReplaceSource) << result.inputPath;
    }
    EXPECT_EQ(controller.pelloraImages().count(), 2u);
}

TEST_F(ExportJobTest, OddFileNamesGoThroughUnchanged) {
    set(QVXDefaultsKey_exportFormat, 2);
    const std::vector<std::string> names{"with space.jpg", "new\nline.jpg", "bytes\xff\xfe.jpg"};
    for (const auto& name : names) ASSERT_TRUE(writeTestImage(in(name), 12, 9, kUTTypeJPEG));
    controller.importImageFilesAtPaths({in()});
    controller.waitUntilIdle();
    exportAndWait(out());
    EXPECT_EQ(test::folderEntries(out()),
              (std::vector<std::string>{"bytes\xff\xfe.png", "new\nline.png", "with space.png"}));
    for (const auto& name : test::folderEntries(out())) EXPECT_EQ(decodedSize(out(name)), (DecodedSize{12, 9}));
}

} // namespace
} // namespace pellora
