// pellora-batch run by a user: options, exit statuses, the summary, the
// progress shown, two runs into one folder.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/BatchProgram.h"
#include "jobs/JobTestSupport.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/TypeIdentifiers.h"

namespace pellora {
namespace {

using test::contains;
using test::decodedSize;
using test::DecodedSize;
using test::folderEntries;
using test::ProgramRun;

class PelloraBatchTest : public test::BatchTest {};

TEST_F(PelloraBatchTest, HasNoQtLibraryAmongItsDependencies) {
    std::string libraries;
    ASSERT_EQ(test::runCommand("ldd " + test::batchCommandLine({}), &libraries), 0);
    EXPECT_TRUE(contains(libraries, "libc.so"));
    EXPECT_FALSE(contains(libraries, "Qt")) << libraries;
}

TEST_F(PelloraBatchTest, UsageErrorsExitWithTwoAndSayWhy) {
    makeImages({"a.jpg"});
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--method", "side", "--width", "10", "-o", out(), in()}, "contradicts"},
        {{"--width", "0", "-o", out(), in()}, "whole number"},
        {{"--percent", "abc", "-o", out(), in()}, "--percent"},
        {{"--frobnicate", in()}, "unknown option --frobnicate"},
        {{"-o", out()}, "no files or folders"},
        {{"--format", "png", "--quality", "50", "-o", out(), in()}, "--quality"},
        {{"--quality", "101", "-o", out(), in()}, "0 to 100"},
        {{in()}, "--output DIR"},  // the settings ask for the folder at each export
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramRun result = run(arguments);
        EXPECT_EQ(result.status, 2) << message;
        EXPECT_TRUE(contains(result.output, message)) << result.output;
    }
    EXPECT_FALSE(test::fileExists(out()));
}

TEST_F(PelloraBatchTest, OptionsApplyToThisRunOnlyAndNothingIsStored) {
    ASSERT_TRUE(test::writeTestImage(in("wide.jpg"), 80, 40, kImageTypeJPEG));
    ASSERT_TRUE(test::writeTestImage(in("tall.png"), 30, 60, kImageTypePNG));
    const std::string settingsPath = UserDefaults::standardFilePath();
    {
        UserDefaults stored(settingsPath);
        stored.setObject(3, QVXDefaultsKey_exportFormat);
        stored.setObject(0.9f, QVXDefaultsKey_JPEGExportQuality);
        stored.setObject(true, QVXDefaultsKey_overriteExistingFilesOnExport);
    }
    const std::string settingsBefore = test::readFile(settingsPath);
    ASSERT_FALSE(settingsBefore.empty());

    // --no-overwrite holds for both runs even though the settings say overwrite.
    const std::vector<std::string> arguments{"--format", "png", "--side", "20", "--no-overwrite", "--output",
                                             out("new/deeper"), in()};
    for (const char* counts : {"2 written, 0 skipped, 0 failed", "0 written, 2 skipped, 0 failed"}) {
        const ProgramRun result = run(arguments);
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_TRUE(contains(result.output, counts)) << result.output;
        EXPECT_EQ(decodedSize(out("new/deeper/wide.png")), (DecodedSize{20, 10}));
        EXPECT_EQ(decodedSize(out("new/deeper/tall.png")), (DecodedSize{10, 20}));
    }
    EXPECT_EQ(test::readFile(settingsPath), settingsBefore);
}

// A stored fixed folder typed by hand as "~/..." is in the home folder.
TEST_F(PelloraBatchTest, ALeadingTildeInTheStoredFolderMeansTheHomeFolder) {
    ASSERT_TRUE(test::writeTestImage(in("wide.jpg"), 80, 40, kImageTypeJPEG));
    {
        UserDefaults stored(UserDefaults::standardFilePath());
        stored.setObject(1, QVXDefaultsKey_exportDestination);
        stored.setObject("~/Exports", QVXDefaultsKey_exportStaticLocation);
    }
    const ProgramRun result = run({in()});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(decodedSize(home.home() + "/Exports/wide.jpg"), (DecodedSize{80, 40}));
    EXPECT_FALSE(test::fileExists(dir.file("~")));
}

// Into a pipe the progress is one line per file, without terminal codes.
TEST_F(PelloraBatchTest, ExitStatusIsOneAndTheReportSaysWhyWhenAFileFailsOrNoImageIsFound) {
    makeImages({"good.jpg", "old.jpg"});
    test::writeFile(in("broken.jpg"), "not an image at all");
    ::mkdir(dir.file("other").c_str(), 0755);
    ASSERT_TRUE(test::writeTestImage(dir.file("other/good.jpg"), 4, 4, kImageTypeJPEG));  // same name, another folder
    ::mkdir(out().c_str(), 0755);
    test::writeFile(out("old.jpg"), "there before");
    const ProgramRun result = run({"-o", out(), in(), dir.file("other")});
    EXPECT_EQ(result.status, 1);
    for (const std::string& line :
         {std::string("1 written, 1 skipped, 2 failed\n"), "Skipped:\n  " + in("old.jpg") + ": " + out("old.jpg") + " exists already\n",
          "  " + in("broken.jpg") + ": cannot decode the image\n",
          "  " + dir.file("other/good.jpg") + ": another image in this export has the same name\n",
          "*** Error writing " + out("broken.jpg"), "written  " + out("good.jpg") + "\n",
          "failed   " + in("broken.jpg") + ": cannot decode the image\n"}) {
        EXPECT_TRUE(contains(result.output, line)) << result.output;
    }
    EXPECT_FALSE(contains(result.output, "\033")) << result.output;
    EXPECT_EQ(decodedSize(out("good.jpg")), (DecodedSize{8, 6}));

    test::writeFile(dir.file("notes.txt"), "");
    const ProgramRun none = run({"-o", out(), dir.file("notes.txt")});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(contains(none.output, "no image files")) << none.output;
}

TEST_F(PelloraBatchTest, AFolderThatCannotBeReadFailsTheRun) {
    makeImages({"good.jpg"});
    ::mkdir(dir.file("locked").c_str(), 0755);
    ASSERT_TRUE(test::writeTestImage(dir.file("locked/hidden.jpg"), 8, 8, kImageTypeJPEG));
    // Permissions bind root only after it gives up its privileges.
    std::string runner;
    if (::geteuid() == 0) {
        ASSERT_EQ(test::runCommand("chown -R 65534:65534 '" + dir.path() + "' '" + home.home() + "'"), 0);
        runner = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups";
    }
    ::chmod(dir.file("locked").c_str(), 0);
    const ProgramRun result = run({"-o", out(), in(), dir.file("locked")}, runner);
    ::chmod(dir.file("locked").c_str(), 0755);
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_TRUE(contains(result.output, "cannot read the folder " + dir.file("locked"))) << result.output;
    EXPECT_TRUE(contains(result.output, "1 written, 0 skipped, 1 failed")) << result.output;
}

// On a terminal the progress is a bar redrawn in place, which a log line
// clears before it prints and which is gone before the summary.
TEST_F(PelloraBatchTest, ProgressIsABarRedrawnInPlaceOnATerminal) {
    makeImages({"a.jpg", "b.jpg"});
    test::writeFile(in("broken.jpg"), "not an image at all");
    // script(1) gives the program a terminal, which ends lines with "\r\n".
    std::string shown;
    const std::string command = test::batchCommandLine({"-o", out(), in()});
    EXPECT_EQ(test::runCommand("script -qefc " + test::quoted(command) + " /dev/null", &shown), 1);
    EXPECT_TRUE(contains(shown, "\r\033[KAdding    [##############################] 3/3")) << shown;
    EXPECT_TRUE(contains(shown, "\r\033[KExporting [##########....................] 1/3")) << shown;
    EXPECT_TRUE(contains(shown, "\r\033[KExporting [##############################] 3/3"
                                "\r\033[K2 written, 0 skipped, 1 failed\r\n"))
        << shown;
    EXPECT_FALSE(contains(shown, "written  ")) << shown;
    const std::size_t logLine = shown.find("*** Error writing " + out("broken.jpg"));
    ASSERT_NE(logLine, std::string::npos) << shown;
    EXPECT_EQ(shown.rfind("\r\033[K", logLine), logLine - 4) << "the bar is cleared before a log line";
    EXPECT_EQ(decodedSize(out("b.jpg")), (DecodedSize{8, 6}));
}

TEST_F(PelloraBatchTest, TwoRunsIntoOneFolderNeverBothWriteAnOutput) {
    constexpr int kSources = 30;
    makeManySources(kSources);
    const std::vector<std::string> arguments{"--side", "200", "--no-overwrite", "-o", out(), in()};
    const pid_t first = test::startBatch(dir.path(), arguments, dir.file("first.txt"));
    const pid_t second = test::startBatch(dir.path(), arguments, dir.file("second.txt"));
    EXPECT_EQ(test::waitForBatch(first), 0);
    EXPECT_EQ(test::waitForBatch(second), 0);

    // Every output is claimed as written by exactly one of the runs.
    std::size_t written = 0;
    for (const char* name : {"first.txt", "second.txt"}) {
        const std::string output = test::readFile(dir.file(name));
        const auto counts = output.find(" written, ");
        ASSERT_NE(counts, std::string::npos) << output;
        written += std::stoul(output.substr(output.rfind('\n', counts) + 1));
    }
    EXPECT_EQ(written, static_cast<std::size_t>(kSources));
    EXPECT_EQ(folderEntries(out()).size(), static_cast<std::size_t>(kSources));
}

} // namespace
} // namespace pellora
