// pellora-batch as one task among many: file lists, shards, the JSON report,
// resumable runs, the job count. Runs the real program through the shell.
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/BatchProgram.h"
#include "jobs/JobTestSupport.h"
#include "platform/imageio/TypeIdentifiers.h"

namespace pellora {
namespace {

using test::contains;
using test::decodedSize;
using test::DecodedSize;
using test::folderEntries;
using test::ProgramRun;

const std::string kReportChecker = std::string(PELLORA_TEST_DATA_DIR) + "/../cli/check_report.py";

// The files below folder (relative paths, sorted), walking into subfolders.
std::vector<std::string> filesBelow(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_directory()) files.push_back(std::filesystem::relative(entry.path(), folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The output names a dry run lists as to be written.
std::vector<std::string> plannedWrites(const std::string& output) {
    std::vector<std::string> writes;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = output.substr(start, end - start);
        if (line.rfind("write ", 0) == 0) writes.push_back(line.substr(line.rfind('/') + 1));
    }
    return writes;
}

class ClusterRunTest : public test::BatchTest {
protected:
    // Checks the report, with the program's output when given; the checker's verdict line.
    std::string checkedReport(const std::string& report, const std::string& programOutput = "") {
        test::writeFile(dir.file("program-output.txt"), programOutput);
        std::string verdict;
        const int status = test::runCommand(
            fmt::format("cd {} && /usr/bin/python3 {} {} {}", test::quoted(dir.path()),
                        test::quoted(kReportChecker), test::quoted(report),
                        programOutput.empty() ? "" : test::quoted(dir.file("program-output.txt"))),
            &verdict);
        EXPECT_EQ(status, 0) << verdict;
        return verdict;
    }
};

TEST_F(ClusterRunTest, FileListsTakeOddNamesWithNewlinesOrNulBytes) {
    const std::string nonUtf8 = "caf\xe9 \xff.jpg";  // Latin-1 bytes, not UTF-8
    const std::string newline = "two\nlines.jpg";
    makeImages({"with space.jpg", nonUtf8, newline});
    ::mkdir(in("listed-folder").c_str(), 0755);
    makeImages({"listed-folder/inside.jpg"});

    // Newline-separated, from a file: a name with a space, bytes that are not
    // UTF-8, a folder (scanned as an argument is), an empty line.
    test::writeFile(dir.file("list.txt"), in("with space.jpg") + "\n" + in(nonUtf8) + "\n\n" + in("listed-folder") + "\n");
    ProgramRun result = run({"--files-from", "list.txt", "--report", "lines.jsonl", "-o", out("lines")});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(folderEntries(out("lines")), (std::vector<std::string>{"caf\xe9 \xff.jpg", "inside.jpg", "with space.jpg"}));
    EXPECT_TRUE(contains(checkedReport(dir.file("lines.jsonl"), result.output), "written=3 skipped=0 failed=0"));
    // The name that is not UTF-8 is written with Python's surrogate escapes.
    EXPECT_TRUE(contains(test::readFile(dir.file("lines.jsonl")), "caf\\udce9 \\udcff.jpg"));

    // NUL-separated, from standard input: the name holding a newline goes through.
    test::writeFile(dir.file("list.bin"), in(newline) + std::string(1, '\0') + in(nonUtf8) + std::string(1, '\0'));
    result = run({"-0", "--files-from", "-", "--report", "nul.jsonl", "-o", out("nul")}, "", "< list.bin");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(folderEntries(out("nul")), (std::vector<std::string>{"caf\xe9 \xff.jpg", "two\nlines.jpg"}));
    EXPECT_TRUE(contains(checkedReport(dir.file("nul.jsonl"), result.output), "written=2 skipped=0 failed=0"));

    result = run({"--files-from", "missing.txt", "-o", out("none")});
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(contains(result.output, "cannot read the file list missing.txt")) << result.output;
}

TEST_F(ClusterRunTest, ShardsSplitTheWholeSetWithNoFileInTwo) {
    std::vector<std::string> names;
    for (int n = 1; n <= 11; ++n) names.push_back(fmt::format("IMG_{}.jpg", n));
    ::mkdir(in("sub").c_str(), 0755);
    makeImages(names);
    makeImages({"sub/deep.jpg"});
    std::set<std::string> everything(names.begin(), names.end());
    everything.insert("sub/deep.jpg");

    for (const char* mode : {"index", "name"}) {
        for (const int count : {1, 3, 7}) {
            std::map<std::string, int> shardOf;
            for (int k = 1; k <= count; ++k) {
                const std::string folder = out(fmt::format("{}-{}-{}", mode, count, k));
                const ProgramRun result = run({"--shard", fmt::format("{}/{}", k, count), "--shard-by", mode,
                                                   "--recursive", "--side", "4", "-o", folder, "in"});
                ASSERT_EQ(result.status, 0) << mode << " " << k << "/" << count << ": " << result.output;
                for (const std::string& file : filesBelow(folder)) {
                    EXPECT_TRUE(shardOf.emplace(file, k).second) << file << " in shards " << shardOf[file] << " and " << k;
                }
            }
            EXPECT_EQ(shardOf.size(), everything.size()) << mode << " with " << count << " shards";
            for (const std::string& file : everything) EXPECT_EQ(shardOf.count(file), 1u) << file;
        }
    }

    // By name, files added to the folder move no other file to another shard.
    const auto assignment = [&] {
        std::map<std::string, int> shardOf;
        for (int k = 1; k <= 3; ++k) {
            const ProgramRun result = run({"--dry-run", "--shard", fmt::format("{}/3", k), "--shard-by", "name",
                                               "-o", out("plan"), "in"});
            for (const std::string& name : plannedWrites(result.output)) shardOf[name] = k;
        }
        return shardOf;
    };
    const std::map<std::string, int> before = assignment();
    makeImages({"IMG_0.jpg", "IMG_100.jpg", "a.jpg", "zz.jpg"});
    std::map<std::string, int> after = assignment();
    EXPECT_EQ(after.size(), before.size() + 4);
    for (const auto& [name, k] : before) EXPECT_EQ(after[name], k) << name;
}

TEST_F(ClusterRunTest, ShardIndexFromSlurmOrKubernetesEnvironment) {
    makeImages({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
    const auto planned = [&](const std::string& environment, const std::string& shard) {
        return run({"--dry-run", "--shard", shard, "-o", out(), "in"}, "env " + environment);
    };
    // The environment, the shard asked for, and the shard k it means (0: a usage error).
    const std::vector<std::tuple<std::string, std::string, int>> cases{
        {"SLURM_ARRAY_TASK_ID=0 SLURM_ARRAY_TASK_MIN=0", "env:SLURM_ARRAY_TASK_ID/4", 1},  // --array=0-3
        {"SLURM_ARRAY_TASK_ID=4 SLURM_ARRAY_TASK_MIN=1", "env:SLURM_ARRAY_TASK_ID/4", 4},  // --array=1-4
        {"SLURM_ARRAY_TASK_ID=12 SLURM_ARRAY_TASK_MIN=10", "env:SLURM_ARRAY_TASK_ID/4", 3},
        {"JOB_COMPLETION_INDEX=0", "env:JOB_COMPLETION_INDEX/4", 1},
        {"JOB_COMPLETION_INDEX=1", "env:JOB_COMPLETION_INDEX/4", 2},
        {"SLURM_ARRAY_TASK_ID=5 SLURM_ARRAY_TASK_MIN=1", "env:SLURM_ARRAY_TASK_ID/4", 0},  // K = 5
        {"SLURM_ARRAY_TASK_ID=0 SLURM_ARRAY_TASK_MIN=1", "env:SLURM_ARRAY_TASK_ID/4", 0},  // K = 0
        {"-u SLURM_ARRAY_TASK_MIN SLURM_ARRAY_TASK_ID=1", "env:SLURM_ARRAY_TASK_ID/4", 0},
        {"JOB_COMPLETION_INDEX=4", "env:JOB_COMPLETION_INDEX/4", 0},
        {"JOB_COMPLETION_INDEX=x", "env:JOB_COMPLETION_INDEX/4", 0},
        {"-u JOB_COMPLETION_INDEX", "env:JOB_COMPLETION_INDEX/4", 0},
        {"HOSTNAME_INDEX=1", "env:HOSTNAME_INDEX/4", 0},
        {"", "0/4", 0},
        {"", "5/4", 0},
        {"", "1/0", 0},
    };
    for (const auto& [environment, shard, k] : cases) {
        const ProgramRun result = planned(environment, shard);
        if (k == 0) {
            EXPECT_EQ(result.status, 2) << environment << " " << shard << ": " << result.output;
            EXPECT_TRUE(contains(result.output, "--shard")) << result.output;
        } else {
            EXPECT_EQ(result.status, 0) << result.output;
            EXPECT_EQ(plannedWrites(result.output), plannedWrites(planned("", fmt::format("{}/4", k)).output))
                << environment;
            EXPECT_EQ(plannedWrites(result.output).size(), 1u) << result.output;
        }
    }
}

TEST_F(ClusterRunTest, RecursiveOutputsKeepTheirFoldersSoSameNamesNeverCollide) {
    for (const char* folder : {"in/2024", "in/2024/june", "in/2023", "elsewhere", "elsewhere/x"}) {
        ::mkdir(dir.file(folder).c_str(), 0755);
    }
    makeImages({"IMG_1.jpg", "2024/june/IMG_1.jpg", "2023/IMG_1.jpg"});
    ASSERT_TRUE(test::writeTestImage(dir.file("elsewhere/x/IMG_1.jpg"), 8, 6, kImageTypeJPEG));
    ASSERT_EQ(::symlink(dir.file("elsewhere").c_str(), in("linked").c_str()), 0);  // not followed
    // A relative list line keeps its folders as written; ".." cannot climb out of the destination.
    test::writeFile(dir.file("list.txt"), "elsewhere/x/IMG_1.jpg\nin/../elsewhere/./x/IMG_1.jpg\n");

    const ProgramRun result = run({"--recursive", "--files-from", "list.txt", "-o", out(), "in"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "5 written, 0 skipped, 0 failed")) << result.output;
    EXPECT_EQ(filesBelow(out()), (std::vector<std::string>{"2023/IMG_1.jpg", "2024/june/IMG_1.jpg", "IMG_1.jpg",
                                                           "elsewhere/x/IMG_1.jpg", "in/elsewhere/x/IMG_1.jpg"}));

    // Without --recursive the same names would clash: the dry run says so and
    // exits 1, and writes nothing.
    const ProgramRun flat = run({"--dry-run", "--files-from", "list.txt", "-o", out("flat"), "in"});
    EXPECT_EQ(flat.status, 1) << flat.output;
    EXPECT_TRUE(contains(flat.output, "Dry run: 1 to write, 0 to skip, 2 clashing")) << flat.output;
    EXPECT_FALSE(test::fileExists(out("flat")));
}

TEST_F(ClusterRunTest, DryRunJudgesByNamesAloneAndWritesNothing) {
    makeImages({"IMG_2.jpg", "IMG_10.jpg", "exists.jpg"});
    test::writeFile(in("broken.jpg"), "not an image");  // not decoded, so planned like any other
    ::mkdir(out().c_str(), 0755);
    test::writeFile(out("exists.png"), "");
    const ProgramRun result = run({"-n", "--format", "png", "-o", "out", "in", "in/IMG_2.jpg"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "write in/IMG_2.jpg -> out/IMG_2.png\n"
                          "write in/IMG_10.jpg -> out/IMG_10.png\n"
                          "write in/broken.jpg -> out/broken.png\n"
                          "skip  in/exists.jpg -> out/exists.png\n"
                          "Dry run: 3 to write, 1 to skip, 0 clashing; "
                          + result.output.substr(result.output.rfind(' ', result.output.size() - 7) + 1));
    EXPECT_EQ(folderEntries(out()), (std::vector<std::string>{"exists.png"}));
}

// A run stopped by a signal leaves only complete outputs, no temporary file
// (on ext4 and on tmpfs, both taking unnamed files) and a report valid up to
// its last line. An interrupt finishes the files in hand and lists the rest
// apart from the failures; after a kill the same command again writes only
// what is missing.
TEST_F(ClusterRunTest, AStoppedRunLeavesCompleteOutputsAndARerunWritesOnlyWhatIsMissing) {
    constexpr std::size_t kSources = 30;
    makeManySources(kSources);
    ::mkdir(dir.file("bad").c_str(), 0755);
    test::writeFile(dir.file("bad/broken.jpg"), "not an image at all");
    const test::ScopedVariable tmpdir{"TMPDIR", "/dev/shm"};
    const test::TempDir tmpfs;
    for (const auto& [signal, folder] : std::vector<std::pair<int, std::string>>{
             {SIGKILL, out("killed")}, {SIGKILL, tmpfs.path()}, {SIGINT, out("interrupted")}, {SIGHUP, out("hung up")}}) {
        const std::string report = dir.file(std::to_string(signal) + folder.substr(folder.rfind('/') + 1) + ".jsonl");
        const std::vector<std::string> command{"--method", "full", "--format", "png", "--report", report,
                                               "-o", folder, "bad", "in"};
        const pid_t pid = test::startBatch(dir.path(), command, dir.file("first.txt"));
        ASSERT_TRUE(test::waitForOutputs(folder, 3));
        ::kill(pid, signal);
        EXPECT_EQ(test::waitForBatch(pid), 128 + signal);

        EXPECT_EQ(test::hiddenEntries(folder), std::vector<std::string>{}) << folder;
        std::map<std::string, struct stat> firstRun;
        for (const std::string& name : folderEntries(folder)) {
            EXPECT_EQ(decodedSize(folder + "/" + name), (DecodedSize{1600, 1200})) << name;
            ::stat((folder + "/" + name).c_str(), &firstRun[name]);
        }
        ASSERT_LT(firstRun.size(), kSources);
        checkedReport(report);
        if (signal != SIGKILL) {
            const std::string output = test::readFile(dir.file("first.txt"));
            EXPECT_TRUE(contains(output, "Failed:\n  bad/broken.jpg: cannot decode the image\n")) << output;
            EXPECT_TRUE(contains(output, fmt::format("Interrupted: {} not exported:", kSources - firstRun.size())))
                << output;
            continue;
        }

        const ProgramRun rerun = run(command);
        ASSERT_EQ(rerun.status, 1) << rerun.output;
        EXPECT_TRUE(contains(rerun.output, fmt::format("{} written, {} skipped, 1 failed", kSources - firstRun.size(),
                                                       firstRun.size())))
            << rerun.output;
        EXPECT_TRUE(contains(checkedReport(report, rerun.output), fmt::format("skipped={}", firstRun.size())));
        EXPECT_EQ(folderEntries(folder).size(), kSources);
        for (const std::string& name : folderEntries(folder)) {
            EXPECT_EQ(decodedSize(folder + "/" + name), (DecodedSize{1600, 1200})) << name;
            if (const auto before = firstRun.find(name); before != firstRun.end()) {
                struct stat now {};
                ::stat((folder + "/" + name).c_str(), &now);
                EXPECT_EQ(std::tuple(now.st_ino, now.st_mtim.tv_sec, now.st_mtim.tv_nsec),
                          std::tuple(before->second.st_ino, before->second.st_mtim.tv_sec, before->second.st_mtim.tv_nsec))
                    << name << " was written twice";
            }
        }
    }
}

TEST_F(ClusterRunTest, JobCountFollowsAffinityAndCgroupQuota) {
    makeImages({"a.jpg"});
    const auto jobsLine = [&](const std::string& prefix, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> arguments{"-n", "-o", out(), "in"};
        arguments.insert(arguments.begin(), extra.begin(), extra.end());
        const ProgramRun result = run(arguments, prefix);
        return result.output.substr(result.output.rfind("; ") + 2);
    };
    EXPECT_EQ(jobsLine("", {"--jobs", "3"}), "3 jobs\n");
    EXPECT_EQ(jobsLine("taskset -c 0"), "1 job\n");
    std::string processors;
    test::runCommand("nproc", &processors);  // nproc reads the affinity too
    EXPECT_EQ(jobsLine(""), fmt::format("{} jobs\n", std::stoi(processors))) << "no quota expected on a test machine";

    // A quota of one processor: in a cgroup v2 group with the cpu controller,
    // or a cgroup v1 cpu group, where this test may make one.
    const std::string group = fmt::format("pellora-test-{}", ::getpid());
    std::string folder;
    std::string quotaCommand;
    if (contains(test::readFile("/sys/fs/cgroup/cgroup.controllers"), "cpu")) {
        folder = "/sys/fs/cgroup/" + group;
        quotaCommand = "echo '100000 100000' > " + folder + "/cpu.max";
    } else if (test::fileExists("/sys/fs/cgroup/cpu/cpu.cfs_quota_us")) {
        folder = "/sys/fs/cgroup/cpu/" + group;
        quotaCommand = "echo 100000 > " + folder + "/cpu.cfs_period_us && echo 100000 > " + folder + "/cpu.cfs_quota_us";
    }
    if (folder.empty() || ::mkdir(folder.c_str(), 0755) != 0) {
        GTEST_SKIP() << "cannot make a cgroup with a CPU quota here (needs a writable cgroup v2 cpu controller or "
                        "cgroup v1 cpu hierarchy); the quota is not tested";
    }
    ASSERT_EQ(test::runCommand(quotaCommand), 0);
    EXPECT_EQ(jobsLine("echo $$ > " + folder + "/cgroup.procs && exec"), "1 job\n");
    ::rmdir(folder.c_str());
}

} // namespace
} // namespace pellora
