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

// Starts the program with stdout and stderr going to outputFile, after the
// given command words (a program that runs the rest, or none).
pid_t startProgram(const std::vector<std::string>& arguments, const std::string& outputFile,
                   const std::vector<std::string>& runner = {}) {
    std::vector<std::string> all = runner;
    all.push_back(kProgram);
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

ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& outputFile,
                      const std::vector<std::string>& runner = {}) {
    const int status = waitForProgram(startProgram(arguments, outputFile, runner));
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

    // count sources named img00.jpg... sharing one large picture, in folder (in() by default).
    void makeManySources(int count, const std::string& folder = "") {
        const std::string first = (folder.empty() ? in() : folder) + "/img00.jpg";
        ASSERT_TRUE(test::writeTestImage(first, 1600, 1200, kUTTypeJPEG));
        for (int n = 1; n < count; ++n) {
            const std::string other = (folder.empty() ? in() : folder) + fmt::format("/img{:02}.jpg", n);
            ASSERT_EQ(::link(first.c_str(), other.c_str()), 0);
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

TEST_F(PelloraBatchTest, ExitStatusIsOneAndTheReportSaysWhyWhenAFileFailsOrNoImageIsFound) {
    ASSERT_TRUE(test::writeTestImage(in("good.jpg"), 8, 8, kUTTypeJPEG));
    ASSERT_TRUE(test::writeTestImage(in("old.jpg"), 8, 8, kUTTypeJPEG));
    test::writeFile(in("broken.jpg"), "not an image at all");
    ::mkdir(dir.file("other").c_str(), 0755);
    ASSERT_TRUE(test::writeTestImage(dir.file("other/good.jpg"), 4, 4, kUTTypeJPEG));  // same name, another folder
    ::mkdir(out().c_str(), 0755);
    test::writeFile(out("old.jpg"), "there before");
    const ProgramRun run = runProgram({"-o", out(), in(), dir.file("other")}, log());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.output, "1 written, 1 skipped, 2 failed")) << run.output;
    EXPECT_TRUE(contains(run.output, "Skipped:\n  " + in("old.jpg") + ": " + out("old.jpg") + " exists already\n"))
        << run.output;
    EXPECT_TRUE(contains(run.output, "  " + in("broken.jpg") + ": cannot decode the image\n")) << run.output;
    EXPECT_TRUE(contains(run.output, "  " + dir.file("other/good.jpg") +
                                         ": another image in this export has the same name\n"))
        << run.output;
    EXPECT_TRUE(contains(run.output, "*** Error writing " + out("broken.jpg"))) << run.output;
    EXPECT_EQ(decodedSize(out("good.jpg")), (DecodedSize{8, 8}));

    test::writeFile(dir.file("notes.txt"), "");
    const ProgramRun none = runProgram({"-o", out(), dir.file("notes.txt")}, log());
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(contains(none.output, "no image files")) << none.output;
}

TEST_F(PelloraBatchTest, AFolderThatCannotBeReadFailsTheRun) {
    ASSERT_TRUE(test::writeTestImage(in("good.jpg"), 8, 8, kUTTypeJPEG));
    ::mkdir(dir.file("locked").c_str(), 0755);
    ASSERT_TRUE(test::writeTestImage(dir.file("locked/hidden.jpg"), 8, 8, kUTTypeJPEG));
    // Permissions bind root only after it gives up its privileges.
    std::vector<std::string> runner;
    if (::geteuid() == 0) {
        ASSERT_EQ(test::runCommand("chown -R 65534:65534 '" + dir.path() + "' '" + home.home() + "'"), 0);
        runner = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    ::chmod(dir.file("locked").c_str(), 0);
    const ProgramRun run = runProgram({"-o", out(), in(), dir.file("locked")}, log(), runner);
    ::chmod(dir.file("locked").c_str(), 0755);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(contains(run.output, "cannot read the folder " + dir.file("locked"))) << run.output;
    EXPECT_TRUE(contains(run.output, "1 written, 0 skipped, 1 failed")) << run.output;
}

TEST_F(PelloraBatchTest, InterruptsFinishTheCurrentFileAndListTheRestApartFromFailures) {
    constexpr int kSources = 30;
    const std::string many = dir.file("many");
    ::mkdir(many.c_str(), 0755);
    makeManySources(kSources, many);
    test::writeFile(in("broken.jpg"), "not an image at all");
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGHUP, 129}}) {
        const std::string folder = out(std::to_string(signal));
        const pid_t pid = startProgram({"--method", "full", "--format", "png", "-o", folder, in(), many}, log());
        ASSERT_TRUE(waitForFirstOutput(folder));
        ::kill(pid, signal);
        EXPECT_EQ(waitForProgram(pid), status);
        const std::string output = test::readFile(log());

        const std::vector<std::string> outputs = folderEntries(folder);
        ASSERT_LT(outputs.size(), static_cast<std::size_t>(kSources));
        EXPECT_TRUE(contains(output, "Failed:\n  " + in("broken.jpg") + ": cannot decode the image\n")) << output;
        EXPECT_TRUE(contains(output, fmt::format("Interrupted: {} not exported:", kSources - outputs.size())))
            << output;
        for (const auto& name : outputs) EXPECT_EQ(decodedSize(folder + "/" + name), (DecodedSize{1600, 1200})) << name;
    }
}

TEST_F(PelloraBatchTest, KillingTheProcessLeavesOnlyCompleteOutputsAndNoTemporaryFile) {
    makeManySources(30);
    // The test folder is on ext4; /dev/shm is tmpfs. Both take unnamed files.
    test::ScopedVariable tmpdir{"TMPDIR", "/dev/shm"};
    const test::TempDir tmpfs;
    for (const std::string& folder : {out(), tmpfs.path()}) {
        const pid_t pid = startProgram({"--method", "full", "--format", "png", "-o", folder, in()}, log());
        ASSERT_TRUE(waitForFirstOutput(folder));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // into the middle of a later file
        ::kill(pid, SIGKILL);
        waitForProgram(pid);

        EXPECT_EQ(hiddenEntries(folder), std::vector<std::string>{}) << folder;
        for (const auto& name : folderEntries(folder)) {
            EXPECT_EQ(decodedSize(folder + "/" + name), (DecodedSize{1600, 1200})) << name;
        }
    }
}

TEST_F(PelloraBatchTest, TwoRunsIntoOneFolderNeverBothWriteAnOutput) {
    constexpr int kSources = 30;
    makeManySources(kSources);
    const std::vector<std::string> arguments{"--side", "200", "--no-overwrite", "-o", out(), in()};
    const pid_t first = startProgram(arguments, dir.file("first.txt"));
    const pid_t second = startProgram(arguments, dir.file("second.txt"));
    EXPECT_EQ(waitForProgram(first), 0);
    EXPECT_EQ(waitForProgram(second), 0);

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
