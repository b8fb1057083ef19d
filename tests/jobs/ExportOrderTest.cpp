// The export with workers preparing records ahead must look exactly like
// taking the records one at a time: same files, same events, same log lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "jobs/BatchController.h"
#include "jobs/JobTestSupport.h"
#include "model/PelloraImage.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using test::decodedSize;
using test::DecodedSize;

struct ExportTrace {
    std::vector<std::string> events;
    std::vector<std::string> logLines;
    std::vector<std::string> outputs;
    std::size_t recordsLeft = 0;
};

class ExportOrderTest : public ::testing::Test {
protected:
    ExportOrderTest() {
        registerDefaults();
        ::mkdir(dir.file("in").c_str(), 0755);
    }

    std::string in(const std::string& name) const { return dir.file("in/" + name); }

    // Exports the sources with the given number of workers into a fresh
    // folder; the folder's path is replaced by "OUT" in what is returned.
    ExportTrace exportWith(std::size_t workers, const std::vector<std::string>& sources, const std::string& folder) {
        const std::string out = dir.file(folder);
        ::mkdir(out.c_str(), 0755);
        InlineDispatcher mainThread;
        test::RecordingWindow window;
        BatchController controller{mainThread, window};
        controller.setExportResultObserver(&window);
        controller.setExportWorkerCount(workers);
        for (const auto& source : sources) controller.pelloraImages().addObject(PelloraImage::pelloraImageWithPath(source));
        ExportTrace trace;
        {
            test::LogCapture log;
            EXPECT_TRUE(controller.exportImagesToPath(out));
            controller.waitUntilIdle();
            trace.logLines = log.lines();
        }
        trace.events = window.events();
        for (auto* list : {&trace.events, &trace.logLines}) {
            for (std::string& text : *list) {
                for (std::size_t at; (at = text.find(out)) != std::string::npos;) text.replace(at, out.size(), "OUT");
            }
        }
        trace.outputs = test::folderEntries(out);
        trace.recordsLeft = controller.pelloraImages().count();
        return trace;
    }

    test::TempHome home;
    test::TempDir dir;
};

TEST_F(ExportOrderTest, WorkersFinishingOutOfOrderCommitInListOrder) {
    UserDefaults::standard().setObject(PlistValue(1), QVXDefaultsKey_scalingMethod);
    UserDefaults::standard().setObject(PlistValue(64), QVXDefaultsKey_scalingMaxWidthOrHeight);
    // The large picture first: the small ones after it are ready long before it.
    ASSERT_TRUE(test::writeTestImage(in("large.png"), 2400, 1800, kUTTypePNG));
    std::vector<std::string> sources{in("large.png")};
    for (const char* name : {"s1.png", "s2.jpg", "s3.png", "s5.png"}) {
        ASSERT_TRUE(test::writeTestImage(in(name), 96, 72, name[3] == 'j' ? kUTTypeJPEG : kUTTypePNG));
    }
    test::writeFile(in("broken.png"), "not a picture");
    // s3.png and s3.jpg share an output name: the second fails, decided when
    // it is committed, although its work was done while s3.jpg was absent.
    for (const char* name : {"s1.png", "missing.png", "s2.jpg", "s3.png", "s3.jpg", "broken.png", "s5.png"}) {
        sources.push_back(in(name));
    }
    ASSERT_TRUE(test::writeTestImage(in("s3.jpg"), 10, 10, kUTTypeJPEG));

    const ExportTrace oneByOne = exportWith(1, sources, "out1");
    const ExportTrace ahead = exportWith(4, sources, "out4");

    EXPECT_EQ(ahead.events, oneByOne.events);
    EXPECT_EQ(ahead.logLines, oneByOne.logLines);
    EXPECT_EQ(ahead.outputs, oneByOne.outputs);  // no temporary file left either
    EXPECT_EQ(ahead.recordsLeft, 3u);  // the failed ones
    EXPECT_EQ(ahead.outputs, (std::vector<std::string>{"large.jpg", "s1.jpg", "s2.jpg", "s3.jpg", "s5.jpg"}));
    EXPECT_EQ(decodedSize(dir.file("out4/s3.jpg")), (DecodedSize{64, 48}));  // from s3.png, not s3.jpg
    EXPECT_EQ(decodedSize(dir.file("out4/large.jpg")), (DecodedSize{64, 48}));
    const std::vector<std::string> expectedResults{
        "written:OUT/large.jpg", "written:OUT/s1.jpg",  "failed:OUT/missing.jpg", "written:OUT/s2.jpg",
        "written:OUT/s3.jpg",    "failed:OUT/s3.jpg", "failed:OUT/broken.jpg",  "written:OUT/s5.jpg"};
    std::vector<std::string> results;
    for (const std::string& event : ahead.events) {
        if (event.find(":OUT/") != std::string::npos) results.push_back(event);
    }
    EXPECT_EQ(results, expectedResults);
    // The failures' lines come in list order, each ending with its own verdict.
    std::vector<std::string> verdicts;
    for (const std::string& line : ahead.logLines) {
        if (line.rfind("*** Error writing", 0) == 0) verdicts.push_back(line);
    }
    EXPECT_EQ(verdicts, (std::vector<std::string>{"*** Error writing OUT/missing.jpg", "*** Error writing OUT/s3.jpg",
                                                  "*** Error writing OUT/broken.jpg"}));
}

TEST_F(ExportOrderTest, CancelDiscardsTheWorkDoneAheadAndKeepsThoseRecords) {
    std::vector<std::string> sources;
    for (const char* name : {"p1.png", "p2.png", "p3.png", "p4.png", "p5.png", "p6.png"}) {
        if (name[1] != '2') {
            ASSERT_TRUE(test::writeTestImage(in(name), 300, 200, kUTTypePNG));
        }
        sources.push_back(in(name));  // p2.png is missing: its failure cancels the job
    }
    const std::string out = dir.file("out");
    ::mkdir(out.c_str(), 0755);
    InlineDispatcher mainThread;
    test::RecordingWindow window;
    BatchController controller{mainThread, window};
    controller.setExportWorkerCount(4);
    for (const auto& source : sources) controller.pelloraImages().addObject(PelloraImage::pelloraImageWithPath(source));
    Log::setCapture([&controller](const std::string&) { controller.setIsCanceled(true); });
    ASSERT_TRUE(controller.exportImagesToPath(out));
    controller.waitUntilIdle();
    Log::setCapture({});

    EXPECT_EQ(test::folderEntries(out), std::vector<std::string>{"p1.jpg"});  // p3 to p5 were done ahead: gone
    EXPECT_EQ(controller.pelloraImages().count(), 5u);  // p2.png failed and stays
    EXPECT_EQ(controller.pelloraImages().objectAtIndex(1)->inputPath(), in("p3.png"));
}

} // namespace
} // namespace pellora
