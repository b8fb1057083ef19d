#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "jobs/JobTestSupport.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using test::decodedSize;
using test::DecodedSize;
using test::folderEntries;
using test::hiddenEntries;

const std::string kProgram = std::string(PELLORA_BIN_DIR) + "/pellora-batch";

// Starts the program with stdout and stderr going to outputFile.
pid_t startProgram(const std::vector<std::string>& arguments, const std::string& outputFile) {
    std::vector<std::string> all{kProgram};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, STDOUT_FILENO);
        ::dup2(fd, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// The exit status, or 128 + the signal that ended the process.
int waitForProgram(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct ProgramRun {
    int status;
    std::string output;  // stdout and stderr
};

ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& outputFile) {
    const int status = waitForProgram(startProgram(arguments, outputFile));
    return {status, test::readFile(outputFile)};
}

bool contains(const std::string& text, const std::string& fragment) { return text.find(fragment) != std::string::npos; }

// Waits until the folder holds an output under its final name.
bool waitForFirstOutput(const std::string& folder) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const auto& name : folderEntries(folder)) {
            if (name[0] != '.') return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

class PelloraBatchTest : public ::testing::Test {
protected:
    PelloraBatchTest() { ::mkdir(in().c_str(), 0755); }

    std::string in(const std::string& name = "") const { return dir.file(name.empty() ? "in" : "in/" + name); }
    std::string out(const std::string& name = "") const { return dir.file(name.empty() ? "out" : "out/" + name); }
    std::string log() const { return dir.file("output.txt"); }

    // count sources named img00.jpg... sharing one large picture.
    void makeManySources(int count) {
        ASSERT_TRUE(test::writeTestImage(in("img00.jpg"), 1600, 1200, kUTTypeJPEG));
        for (int n = 1; n < count; ++n) {
            ASSERT_EQ(::link(in("img00.jpg").c_str(), in(fmt::format("img{:02}.jpg", n)).c_str()), 0);
        }
    }

    test::TempHome home;  // the program reads this home's settings
    test::TempDir dir;
};

TEST_F(PelloraBatchTest, HasNoQtLibraryAmongItsDependencies) {
    std::string libraries;
    ASSERT_EQ(test::runCommand("ldd '" + kProgram + "'", &libraries), 0);
    EXPECT_TRUE(contains(libraries, "libc.so"));
    EXPECT_FALSE(contains(libraries, "Qt")) << libraries;
}

TEST_F(PelloraBatchTest, UsageErrorsExitWithTwoAndSayWhy) {
    ASSERT_TRUE(test::writeTestImage(in("a.jpg"), 8, 8, kUTTypeJPEG));
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
        const ProgramRun run = runProgram(arguments, log());
        EXPECT_EQ(run.status, 2) << message;
        EXPECT_TRUE(contains(run.output, message)) << run.output;
    }
    EXPECT_FALSE(test::fileExists(out()));
}

TEST_F(PelloraBatchTest, OptionsApplyToThisRunOnlyAndNothingIsStored) {
    ASSERT_TRUE(test::writeTestImage(in("wide.jpg"), 80, 40, kUTTypeJPEG));
    ASSERT_TRUE(test::writeTestImage(in("tall.png"), 30, 60, kUTTypePNG));
    const std::string settingsPath = UserDefaults::standardFilePath();
    {
        UserDefaults stored(settingsPath);
        stored.setObject(3, QVXDefaultsKey_exportFormat);
        stored.setObject(0.9f, QVXDefaultsKey_JPEGExportQuality);
        stored.setObject(true, QVXDefaultsKey_overriteExistingFilesOnExport);
    }
    const std::string settingsBefore = test::readFile(settingsPath);
    ASSERT_FALSE(settingsBefore.empty());

    const ProgramRun run = runProgram({"--format", "png", "--side", "20", "--no-overwrite", "--output", out("new/deeper"),
                                in()},
                               log());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(decodedSize(out("new/deeper/wide.png")), (DecodedSize{20, 10}));
    EXPECT_EQ(decodedSize(out("new/deeper/tall.png")), (DecodedSize{10, 20}));
    EXPECT_TRUE(contains(run.output, "2 written, 0 skipped, 0 failed")) << run.output;

    // --no-overwrite holds for this run even though the settings say overwrite.
    const ProgramRun again = runProgram({"--format", "png", "--side", "20", "--no-overwrite", "-o", out("new/deeper"), in()},
                                 log());
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(contains(again.output, "0 written, 2 skipped, 0 failed")) << again.output;
    EXPECT_EQ(test::readFile(settingsPath), settingsBefore);
}

// A stored fixed folder typed by hand as "~/..." is in the home folder.
TEST_F(PelloraBatchTest, ALeadingTildeInTheStoredFolderMeansTheHomeFolder) {
    ASSERT_TRUE(test::writeTestImage(in("wide.jpg"), 80, 40, kUTTypeJPEG));
    {
        UserDefaults stored(UserDefaults::standardFilePath());
        stored.setObject(1, QVXDefaultsKey_exportDestination);
        stored.setObject("~/Exports", QVXDefaultsKey_exportStaticLocation);
    }
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    const ProgramRun run = runProgram({in()}, log());
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(decodedSize(home.home() + "/Exports/wide.jpg"), (DecodedSize{80, 40}));
    EXPECT_FALSE(test::fileExists(dir.file("~")));
}

TEST_F(PelloraBatchTest, ExitStatusIsOneWhenAFileFailsOrNoImageIsFound) {
    ASSERT_TRUE(test::writeTestImage(in("good.jpg"), 8, 8, kUTTypeJPEG));
    test::writeFile(in("broken.jpg"), "not an image at all");
    const ProgramRun run = runProgram({"-o", out(), in()}, log());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.output, "1 written, 0 skipped, 1 failed")) << run.output;
    EXPECT_TRUE(contains(run.output, "*** Error writing " + out("broken.jpg"))) << run.output;

    test::writeFile(dir.file("notes.txt"), "");
    const ProgramRun none = runProgram({"-o", out(), dir.file("notes.txt")}, log());
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(contains(none.output, "no image files")) << none.output;
}

TEST_F(PelloraBatchTest, CtrlCFinishesTheCurrentFileAndListsTheRest) {
    constexpr int kSources = 30;
    makeManySources(kSources);
    const pid_t pid = startProgram({"--method", "full", "--format", "png", "-o", out(), in()}, log());
    ASSERT_TRUE(waitForFirstOutput(out()));
    ::kill(pid, SIGINT);
    const int status = waitForProgram(pid);
    const std::string output = test::readFile(log());

    EXPECT_EQ(status, 130) << output;
    const std::vector<std::string> outputs = folderEntries(out());
    ASSERT_LT(outputs.size(), static_cast<std::size_t>(kSources));
    EXPECT_TRUE(contains(output, fmt::format("Interrupted: {} not exported:", kSources - outputs.size()))) << output;
    EXPECT_TRUE(contains(output, in(fmt::format("img{:02}.jpg", kSources - 1)))) << output;
    for (const auto& name : outputs) EXPECT_EQ(decodedSize(out(name)), (DecodedSize{1600, 1200})) << name;
}

TEST_F(PelloraBatchTest, KillingTheProcessLeavesOnlyCompleteOutputs) {
    makeManySources(30);
    const pid_t pid = startProgram({"--method", "full", "--format", "png", "-o", out(), in()}, log());
    ASSERT_TRUE(waitForFirstOutput(out()));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // into the middle of a later file
    ::kill(pid, SIGKILL);
    waitForProgram(pid);

    for (const auto& name : folderEntries(out())) {
        if (name[0] == '.') continue;  // an unfinished temporary file, never under a final name
        EXPECT_EQ(decodedSize(out(name)), (DecodedSize{1600, 1200})) << name;
    }

    // A run that ends normally leaves no temporary file behind.
    const ProgramRun run = runProgram({"--side", "100", "-o", dir.file("clean"), in("img00.jpg"), in("img01.jpg")}, log());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(folderEntries(dir.file("clean")), (std::vector<std::string>{"img00.jpg", "img01.jpg"}));
}

} // namespace
} // namespace pellora
