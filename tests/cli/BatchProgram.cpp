#include "cli/BatchProgram.h"

#include <chrono>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "jobs/JobTestSupport.h"
#include "platform/imageio/TypeIdentifiers.h"

namespace pellora::test {

const std::string kProgram = std::string(PELLORA_BIN_DIR) + "/pellora-batch";

std::string batchCommandLine(const std::vector<std::string>& arguments) {
    std::string line = quoted(kProgram);
    for (const std::string& argument : arguments) line.append(" ").append(quoted(argument));
    return line;
}

ProgramRun runBatch(const std::string& folder, const std::vector<std::string>& arguments, const std::string& prefix,
                    const std::string& suffix) {
    ProgramRun run{0, ""};
    run.status = runCommand(
        fmt::format("cd {} && {} {} {} 2>&1", quoted(folder), prefix, batchCommandLine(arguments), suffix),
        &run.output);
    return run;
}

pid_t startBatch(const std::string& folder, const std::vector<std::string>& arguments, const std::string& outputFile) {
    std::vector<std::string> all{kProgram};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
        ::dup2(fd, STDOUT_FILENO);
        ::dup2(fd, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

int waitForBatch(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool waitForOutputs(const std::string& folder, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < deadline) {
        std::size_t finished = 0;
        for (const auto& name : folderEntries(folder)) finished += name[0] != '.' ? 1 : 0;
        if (finished >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

BatchTest::BatchTest() { ::mkdir(in().c_str(), 0755); }

void BatchTest::makeImages(const std::vector<std::string>& names) {
    for (const std::string& name : names) ASSERT_TRUE(writeTestImage(in(name), 8, 6, kImageTypeJPEG)) << name;
}

void BatchTest::makeManySources(int count) {
    ASSERT_TRUE(writeTestImage(in("img00.jpg"), 1600, 1200, kImageTypeJPEG));
    for (int n = 1; n < count; ++n) ASSERT_EQ(::link(in("img00.jpg").c_str(), in(fmt::format("img{:02}.jpg", n)).c_str()), 0);
}

} // namespace pellora::test
