// Every case runs with one worker and with several preparing records ahead:
// both must give the same files, events and log lines.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "jobs/BatchController.h"
#include "jobs/JobTestSupport.h"
#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/imageio/PixelMemoryBudget.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"

namespace pellora {
namespace {

using test::decodedSize;
using test::DecodedSize;
using test::folderEntries;
using test::hiddenEntries;
using test::readFile;
using test::writeTestImage;
using Names = std::vector<std::string>;
using enum ExportOutcome;

class ExportJobTest : public ::testing::TestWithParam<std::size_t> {
protected:
    ExportJobTest() {
        test::freshSettings();
        ::mkdir(in().c_str(), 0755);
        ::mkdir(out().c_str(), 0755);
        controller.setExportResultObserver(&window);
        controller.setExportWorkerCount(GetParam());
    }

    static void set(const char* key, const PlistValue& value) { UserDefaults::standard().setObject(value, key); }
    std::string in() const { return dir.file("in"); }
    std::string out() const { return dir.file("out"); }
    std::string in(const std::string& name) const { return dir.file("in/" + name); }
    std::string out(const std::string& name) const { return dir.file("out/" + name); }

    void add(const std::string& path) { controller.pelloraImages().addObject(PelloraImage::pelloraImageWithPath(path)); }
    // Writes a test picture into the input folder and lists it.
    void addNew(const std::string& name, std::uint32_t width, std::uint32_t height, const char* type = kImageTypePNG) {
        ASSERT_TRUE(writeTestImage(in(name), width, height, type));
        add(in(name));
    }
    void exportAndWait(const std::string& folder) {
        ASSERT_TRUE(controller.exportImagesToPath(folder));
        controller.waitUntilIdle();
    }
    Names inputsLeft() const {
        Names paths;
        for (const PelloraImagePtr& record : controller.pelloraImages().snapshot()) paths.push_back(record->inputPath());
        return paths;
    }
    std::vector<ExportFailureReason> reasons() const {
        const ExportReport report = controller.lastExportReport();
        std::vector<ExportFailureReason> all;
        for (const ExportRecordResult& result : report.results()) all.push_back(result.reason);
        return all;
    }

    test::TempDir dir;
    test::LogCapture log;
    InlineDispatcher mainThread;
    test::RecordingWindow window;
    BatchController controller{mainThread, window};
};

// An empty list still resets the flags, reloads and refreshes.
TEST_P(ExportJobTest, ExportsEveryRecordInOrderAndEmptiesTheList) {
    exportAndWait(out());
    EXPECT_EQ(window.events(), (Names{"update", "ready:0", "reload", "update"}));
    set(QVXDefaultsKey_exportFormat, 7);  // not a format index: JPEG
    set(QVXDefaultsKey_scalingMethod, 1);
    set(QVXDefaultsKey_scalingMaxWidthOrHeight, 40);
    addNew("a.png", 80, 60);
    addNew("b.jpg", 30, 20, kImageTypeJPEG);
    exportAndWait(out());

    EXPECT_EQ(decodedSize(out("a.jpg")), (DecodedSize{40, 30}));
    EXPECT_EQ(decodedSize(out("b.jpg")), (DecodedSize{30, 20}));  // never enlarged
    EXPECT_EQ(window.events(), (Names{"update", "ready:0", "reload", "update", "update", "ready:2",
                                      "written:" + out("a.jpg"), "progress:1",
                                      "written:" + out("b.jpg"), "progress:2", "reload", "update"}));
    EXPECT_TRUE(controller.pelloraImages().empty());
    EXPECT_FALSE(controller.isExporting());
    EXPECT_FALSE(controller.isCanceled());
    EXPECT_TRUE(hiddenEntries(out()).empty());
}

// The large picture first: the small ones after it are ready long before it.
// s3.png and s3.jpg share an output name: the second fails, decided when it is
// committed, although its work may have been done while s3.jpg was absent.
TEST_P(ExportJobTest, RecordsFinishingOutOfOrderCommitInListOrder) {
    set(QVXDefaultsKey_scalingMethod, 1);
    set(QVXDefaultsKey_scalingMaxWidthOrHeight, 64);
    ASSERT_TRUE(writeTestImage(in("large.png"), 2400, 1800, kImageTypePNG));
    for (const char* name : {"s1.png", "s2.jpg", "s3.png", "s5.png"}) {
        ASSERT_TRUE(writeTestImage(in(name), 96, 72, name[3] == 'j' ? kImageTypeJPEG : kImageTypePNG));
    }
    ASSERT_TRUE(writeTestImage(in("s3.jpg"), 10, 10, kImageTypeJPEG));
    test::writeFile(in("broken.png"), "not a picture");
    const std::vector<std::pair<const char*, const char*>> records{
        {"large.png", "written"}, {"s1.png", "written"}, {"missing.png", "failed"}, {"s2.jpg", "written"},
        {"s3.png", "written"},    {"s3.jpg", "failed"},  {"broken.png", "failed"},  {"s5.png", "written"}};
    Names events{"update", "ready:8"};
    for (const auto& [name, outcome] : records) {
        add(in(name));
        events.push_back(std::string(outcome) + ":" + out(path::stringByDeletingPathExtension(name) + ".jpg"));
        events.push_back(fmt::format("progress:{}", events.size() / 2));
    }
    events.insert(events.end(), {"reload", "update"});
    exportAndWait(out());

    EXPECT_EQ(window.events(), events);
    // Each failure's lines come in list order, ending with its own verdict.
    const std::string noSource = "*** Error: inputCGImage: Image source is NULL.";
    const std::string notCreated = "*** Error: outputCGImage: Image not created from image source.";
    EXPECT_EQ(log.lines(),
              (Names{"ImageSource: cannot open " + in("missing.png") + ": No such file or directory", noSource, notCreated,
                     "*** Error writing " + out("missing.jpg"),
                     "*** Error: " + out("s3.jpg") + " was written for another image of this export and is not replaced",
                     "*** Error writing " + out("s3.jpg"),
                     "ImageSource: " + in("broken.png") + " is not an image in a format Pellora reads", noSource,
                     notCreated, "*** Error writing " + out("broken.jpg")}));
    EXPECT_EQ(inputsLeft(), (Names{in("missing.png"), in("s3.jpg"), in("broken.png")}));
    EXPECT_EQ(folderEntries(out()), (Names{"large.jpg", "s1.jpg", "s2.jpg", "s3.jpg", "s5.jpg"}));  // no temporary file
    EXPECT_EQ(decodedSize(out("s3.jpg")), (DecodedSize{64, 48}));  // from s3.png, not s3.jpg
    EXPECT_EQ(decodedSize(out("large.jpg")), (DecodedSize{64, 48}));
}

TEST_P(ExportJobTest, ASecondImageOfTheSameNameFailsAndStaysWhileAnOldOutputIsSkippedOrReplaced) {
    set(QVXDefaultsKey_scalingMethod, 3);  // full size
    ::mkdir(in("b").c_str(), 0755);
    ASSERT_TRUE(writeTestImage(in("camera.jpg"), 20, 10, kImageTypeJPEG));
    ASSERT_TRUE(writeTestImage(in("b/camera.jpg"), 16, 12, kImageTypeJPEG));
    ASSERT_TRUE(writeTestImage(in("old.png"), 6, 4, kImageTypePNG));
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "overwriting" : "keeping");
        const std::string folder = dir.file(overwrite ? "replacing" : "keeping");
        ::mkdir(folder.c_str(), 0755);
        ASSERT_TRUE(writeTestImage(folder + "/old.jpg", 2, 2, kImageTypeJPEG));  // there before the export
        set(QVXDefaultsKey_overriteExistingFilesOnExport, overwrite);
        controller.pelloraImages().removeAllObjects();
        for (const char* name : {"camera.jpg", "b/camera.jpg", "old.png"}) add(in(name));
        const ExportPlan plan = controller.planExportToPath(folder);
        exportAndWait(folder);

        // The check made before the export foretold what it did.
        std::vector<PlannedOutcome> planned;
        for (const PlannedOutput& output : plan.outputs) planned.push_back(output.outcome);
        using enum PlannedOutcome;
        EXPECT_EQ(planned, (std::vector{Write, Clash, overwrite ? Write : Skip}));
        std::vector<std::pair<ExportOutcome, ExportFailureReason>> outcomes;
        const ExportReport report = controller.lastExportReport();
        for (const ExportRecordResult& result : report.results()) {
            outcomes.emplace_back(result.outcome, result.reason);
        }
        EXPECT_EQ(outcomes, (std::vector<std::pair<ExportOutcome, ExportFailureReason>>{
                                {Written, ExportFailureReason::None},
                                {Failed, ExportFailureReason::NameClash},
                                {overwrite ? Written : Skipped, ExportFailureReason::None}}));
        EXPECT_EQ(decodedSize(folder + "/camera.jpg"), (DecodedSize{20, 10}));  // the first one's, never replaced
        EXPECT_EQ(decodedSize(folder + "/old.jpg"), overwrite ? (DecodedSize{6, 4}) : (DecodedSize{2, 2}));
        EXPECT_EQ(inputsLeft(), Names{in("b/camera.jpg")});
        EXPECT_EQ(controller.pelloraImages().firstObject()->lastExportFailure(), ExportFailureReason::NameClash);
        EXPECT_TRUE(log.contains("*** Error writing " + folder + "/camera.jpg"));
        EXPECT_TRUE(hiddenEntries(folder).empty());
    }
}

// Workers prepare the records after a failed one while it stays first in the list.
TEST_P(ExportJobTest, FailedRecordsStayWithTheirReasonsAndTheNextExportTriesThemAgain) {
    set(QVXDefaultsKey_exportFormat, 2);
    ASSERT_TRUE(writeTestImage(in("good.png"), 8, 6, kImageTypePNG));
    test::writeFile(in("broken.png"), "not a picture");
    test::writeFile(dir.file("plain-file"), "");
    Names counts;
    const auto exportCounted = [&](const std::string& folder) {
        exportAndWait(folder);
        counts.push_back(controller.lastExportReport().countsText());
    };

    for (const char* name : {"broken.png", "missing.png", "good.png"}) add(in(name));
    exportCounted(out());
    EXPECT_EQ(inputsLeft(), (Names{in("broken.png"), in("missing.png")}));
    EXPECT_EQ(reasons(), (std::vector{ExportFailureReason::CannotDecode, ExportFailureReason::CannotDecode,
                                      ExportFailureReason::None}));
    EXPECT_EQ(controller.pelloraImages().firstObject()->lastExportFailure(), ExportFailureReason::CannotDecode);
    EXPECT_EQ(folderEntries(out()), Names{"good.png"});

    // Mended, broken.png is written the next time; a folder path that is a
    // plain file refuses the output.
    ASSERT_TRUE(writeTestImage(in("broken.png"), 4, 4, kImageTypePNG));
    exportCounted(out());
    EXPECT_EQ(controller.pelloraImages().count(), 1u);
    add(in("good.png"));
    exportCounted(dir.file("plain-file"));
    EXPECT_EQ(reasons().back(), ExportFailureReason::CannotWriteFolder);
    EXPECT_EQ(counts, (Names{"1 written, 0 skipped, 2 failed", "1 written, 0 skipped, 1 failed",
                                      "0 written, 0 skipped, 2 failed"}));
    EXPECT_EQ(controller.pelloraImages().count(), 2u);
}

// Output names: only the last extension is replaced and a missing one is
// appended; odd bytes go through unchanged.
TEST_P(ExportJobTest, OutputNamesKeepEveryByteButTheLastExtension) {
    set(QVXDefaultsKey_exportFormat, 3);
    for (const char* name : {"x.final.jpg", "noextension", "with space.jpg", "new\nline.jpg", "bytes\xff\xfe.jpg"}) {
        ASSERT_TRUE(writeTestImage(in(name), 12, 9, kImageTypeJPEG));
    }
    add(in("noextension"));
    controller.importImageFilesAtPaths({in()});
    controller.waitUntilIdle();
    exportAndWait(out());
    const Names expected{"bytes\xff\xfe.tiff", "new\nline.tiff", "noextension.tiff", "with space.tiff", "x.final.tiff"};
    EXPECT_EQ(folderEntries(out()), expected);
    for (const auto& name : expected) EXPECT_EQ(decodedSize(out(name)), (DecodedSize{12, 9})) << name;
}

// A percentage limits the upright size (the percentages themselves are
// checked where the limits are computed).
TEST_P(ExportJobTest, PercentagesLimitTheUprightSize) {
    set(QVXDefaultsKey_scalingMethod, 2);
    set(QVXDefaultsKey_scalingPercentage, 0.5f);
    addNew("turned.jpg", 3000, 2000, kImageTypeJPEG);
    ASSERT_TRUE(test::exifToolWrite(in("turned.jpg"), "-Orientation#=6"));
    exportAndWait(out());
    EXPECT_EQ(decodedSize(out("turned.jpg")), (DecodedSize{1000, 1500}));
}

// Work done ahead on the records after the one being written is discarded.
TEST_P(ExportJobTest, CancelDuringTheThirdOfTenFinishesItAndKeepsTheRest) {
    for (int n = 1; n <= 10; ++n) {
        const std::string name = fmt::format("p{}.png", n);
        if (n != 3) {
            ASSERT_TRUE(writeTestImage(in(name), 300, 200, kImageTypePNG));
        }
        add(in(name));  // p3.png is missing: its failure logs while the job is on it
    }
    Log::setCapture([this](const std::string&) { controller.setIsCanceled(true); });
    exportAndWait(out());
    Log::setCapture({});

    // p3.png failed and stays, before the seven records not reached.
    EXPECT_EQ(controller.pelloraImages().count(), 8u);
    EXPECT_EQ(inputsLeft()[0], in("p3.png"));
    EXPECT_EQ(inputsLeft()[1], in("p4.png"));
    EXPECT_TRUE(controller.lastExportReport().wasCanceled());
    EXPECT_EQ(controller.lastExportReport().results().size(), 3u);
    EXPECT_EQ(window.eventsStartingWith("progress:").back(), "progress:3");
    EXPECT_EQ(window.eventsStartingWith("ready:"), Names{"ready:10"});
    EXPECT_EQ(window.eventsStartingWith("failed:"), Names{"failed:" + out("p3.jpg")});
    EXPECT_EQ(folderEntries(out()), (Names{"p1.jpg", "p2.jpg"}));
    EXPECT_FALSE(controller.isExporting());
    EXPECT_FALSE(controller.isCanceled());
}

TEST_P(ExportJobTest, NoOutputReplacesASourceOfTheJob) {
    set(QVXDefaultsKey_overriteExistingFilesOnExport, true);
    set(QVXDefaultsKey_scalingMethod, 1);
    set(QVXDefaultsKey_scalingMaxWidthOrHeight, 10);
    // c.png comes first: its output c.jpg is the source of a later record.
    const Names names{"c.png", "a.jpg", "c.jpg", "linked.jpg", "hard.jpg"};
    for (const auto& name : names) ASSERT_TRUE(writeTestImage(in(name), 40, 30, kImageTypeJPEG));
    ASSERT_EQ(::symlink(in("linked.jpg").c_str(), out("linked.jpg").c_str()), 0);
    ASSERT_EQ(::link(in("hard.jpg").c_str(), out("hard.jpg").c_str()), 0);
    Names before;
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
              (Names{"failed:" + in("c.jpg"), "failed:" + in("a.jpg"), "failed:" + in("c.jpg"),
                     "failed:" + out("linked.jpg"), "failed:" + out("hard.jpg")}));
    EXPECT_TRUE(log.contains("*** Error writing " + in("a.jpg")));
    EXPECT_EQ(reasons(), std::vector(2, ExportFailureReason::WouldReplaceSource));
    EXPECT_EQ(controller.pelloraImages().count(), 2u);
}

// Under a small process budget, exporting at full size as JPEG: a 100 x 100
// record needs its 40,000-byte output bitmap and more.
class ExportMemoryBudgetTest : public ExportJobTest {
protected:
    static constexpr std::uint64_t kBudget = 100'000;

    ExportMemoryBudgetTest() : _oldCapacity(PixelMemoryBudget::shared().capacity()) {
        PixelMemoryBudget::shared().setCapacity(kBudget);
        set(QVXDefaultsKey_scalingMethod, 3);
    }
    ~ExportMemoryBudgetTest() override { PixelMemoryBudget::shared().setCapacity(_oldCapacity); }

    std::uint64_t _oldCapacity;
};

// A budget for one record at a time, whatever the number of workers: each is
// written in order after the one too large for it failed.
TEST_P(ExportMemoryBudgetTest, ARecordLargerThanTheBudgetFailsAndTheRestAreWrittenOneAtATime) {
    addNew("huge.png", 400, 400);
    Names written, entries;
    for (int index = 0; index < 8; ++index) {
        addNew(fmt::format("r{}.png", index), 100, 100);
        written.push_back(fmt::format("written:{}", out(fmt::format("r{}.jpg", index))));
        entries.push_back(fmt::format("r{}.jpg", index));
    }
    exportAndWait(out());
    EXPECT_EQ(window.eventsStartingWith("failed:"), Names{"failed:" + out("huge.jpg")});
    EXPECT_EQ(window.eventsStartingWith("written:"), written);
    EXPECT_EQ(reasons().front(), ExportFailureReason::TooLarge);
    EXPECT_EQ(decodedSize(out("r7.jpg")), (DecodedSize{100, 100}));
    EXPECT_EQ(folderEntries(out()), entries);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with("*** Error: " + in("huge.png") + " (400 x 400 pixels) needs ")) << lines[0];
    EXPECT_EQ(lines[1], "*** Error writing " + out("huge.jpg"));
    EXPECT_EQ(PixelMemoryBudget::shared().inUse(), 0u);
}

TEST_P(ExportMemoryBudgetTest, ARecordWaitsWhileTheBudgetIsHeldAndGoesOnWhenItIsGivenBack) {
    addNew("a.png", 100, 100);
    PixelReservation holder = PixelMemoryBudget::shared().reserve(kBudget, "the viewer");
    ASSERT_TRUE(controller.exportImagesToPath(out()));
    while (PixelMemoryBudget::shared().waiting() == 0) std::this_thread::yield();
    EXPECT_TRUE(controller.isExporting());
    EXPECT_FALSE(test::fileExists(out("a.jpg")));
    holder.release();
    controller.waitUntilIdle();
    EXPECT_EQ(decodedSize(out("a.jpg")), (DecodedSize{100, 100}));
    EXPECT_TRUE(log.lines().empty());
}

const auto kWorkerCounts = ::testing::Values(std::size_t{1}, std::size_t{4});
INSTANTIATE_TEST_SUITE_P(Workers, ExportJobTest, kWorkerCounts);
INSTANTIATE_TEST_SUITE_P(Workers, ExportMemoryBudgetTest, kWorkerCounts);

} // namespace
} // namespace pellora
