#pragma once

// Small pieces shared by the job benchmarks (header-only: every bench_*.cpp
// is its own program).
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "jobs/WindowStateSink.h"

namespace pellora::bench {

// The median wall time of `runs` calls of work, in milliseconds; -1 when a call fails.
inline double medianMilliseconds(int runs, const std::function<bool()>& work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        if (!work()) return -1;
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The processor time this process has used so far (user and system), in seconds.
inline double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A window that shows nothing: the benchmarks measure the jobs alone.
class NullWindow final : public WindowStateSink {
public:
    void updateInterface() override {}
    void readyProgressBarWithMax(double) override {}
    void setProgressValue(double) override {}
    void reloadData() override {}
    void disableExportButton() override {}
};

// A fresh folder under the temporary folder, removed at the end; HOME and the
// XDG folders point into it so the benchmark never touches the user's settings.
class ScratchHome {
public:
    ScratchHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellora-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        _path = pattern;
        ::setenv("HOME", _path.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (_path + "/.config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (_path + "/.local/share").c_str(), 1);
    }
    ~ScratchHome() {
        std::error_code ignored;
        std::filesystem::remove_all(_path, ignored);
    }
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

} // namespace pellora::bench
