#pragma once

#include <gtest/gtest.h>
#include <string>
#include <sys/types.h>
#include <vector>

#include "support/TestSupport.h"

// pellora-batch run as a separate process, as users and job schedulers run it.
namespace pellora::test {

struct ProgramRun {
    int status;          // the exit status, or 128 + the signal that ended it
    std::string output;  // stdout and stderr
};

// The text in single quotes for the shell, quotes inside it escaped.
std::string shellQuoted(const std::string& text);
// The program and its arguments, quoted for the shell.
std::string batchCommandLine(const std::vector<std::string>& arguments);
// Runs "cd folder && prefix pellora-batch arguments suffix" in the shell.
ProgramRun runBatch(const std::string& folder, const std::vector<std::string>& arguments,
                    const std::string& prefix = "", const std::string& suffix = "");
// Starts the program from folder, its stdout and stderr going to outputFile;
// waitForBatch gives its status as ProgramRun does.
pid_t startBatch(const std::string& folder, const std::vector<std::string>& arguments, const std::string& outputFile);
int waitForBatch(pid_t pid);
// Waits (at most a minute) until the folder holds count files under their final names.
bool waitForOutputs(const std::string& folder, std::size_t count);

inline bool contains(const std::string& text, const std::string& fragment) {
    return text.find(fragment) != std::string::npos;
}

// A run in a folder of its own ("in" for the sources, "out" for the outputs)
// with a home of its own, whose settings the program reads.
class BatchTest : public ::testing::Test {
protected:
    BatchTest();

    std::string in(const std::string& name = "") const { return dir.file(name.empty() ? "in" : "in/" + name); }
    std::string out(const std::string& name = "") const { return dir.file(name.empty() ? "out" : "out/" + name); }
    ProgramRun run(const std::vector<std::string>& arguments, const std::string& prefix = "",
                   const std::string& suffix = "") const {
        return runBatch(dir.path(), arguments, prefix, suffix);
    }
    // Small JPEGs in the source folder.
    void makeImages(const std::vector<std::string>& names);
    // count camera-sized sources img00.jpg... sharing one picture, in folder (in() by default).
    void makeManySources(int count, const std::string& folder = "");

    TempHome home;
    TempDir dir;
};

} // namespace pellora::test
