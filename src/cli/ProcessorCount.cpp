#include "cli/ProcessorCount.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>
#include <sched.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace pellora::cli {
namespace {

unsigned affinityProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        if (const int count = CPU_COUNT(&set); count > 0) return static_cast<unsigned>(count);
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

std::vector<std::string> linesOf(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

std::optional<double> numberIn(const std::string& path) {
    std::ifstream file(path);
    double value = 0;
    if (file >> value) return value;
    return std::nullopt;
}

struct Hierarchy {
    std::string mountPoint;
    std::string groupPath;  // the process's group, relative to the mount point ("/" for the root)
};

// Where the hierarchy holding the controller is mounted, and this process's
// group in it: cgroup2 for an empty controller, else the v1 hierarchy of it.
std::optional<Hierarchy> hierarchyOf(const std::string& controller) {
    // /proc/self/cgroup lines: "0::/path" (v2) or "4:cpu,cpuacct:/path" (v1).
    std::optional<std::string> groupPath;
    for (const std::string& line : linesOf("/proc/self/cgroup")) {
        const auto first = line.find(':');
        const auto second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        std::stringstream names(line.substr(first + 1, second - first - 1));
        bool matches = controller.empty() && second == first + 1;
        for (std::string name; !controller.empty() && std::getline(names, name, ',');) matches |= name == controller;
        if (matches) groupPath = line.substr(second + 1);
    }
    if (!groupPath) return std::nullopt;
    // /proc/self/mountinfo: "... mount-point options - fstype source super-options".
    for (const std::string& line : linesOf("/proc/self/mountinfo")) {
        std::stringstream fields(line);
        std::vector<std::string> field;
        for (std::string word; fields >> word;) field.push_back(word);
        const auto separator = std::find(field.begin(), field.end(), "-");
        if (field.size() < 5 || separator == field.end() || separator + 3 > field.end()) continue;
        const std::string& type = *(separator + 1);
        const bool v2 = type == "cgroup2";
        bool holdsController = false;
        if (!controller.empty() && type == "cgroup") {
            std::stringstream options(*(separator + 3));
            for (std::string option; std::getline(options, option, ',');) holdsController |= option == controller;
        }
        if (!(controller.empty() ? v2 : holdsController)) continue;
        // A container sees its own group mounted as the root: take the group
        // path relative to the mount's root (field 4) where it lies below it.
        const std::string& mountRoot = field[3];
        std::string group = *groupPath;
        if (mountRoot != "/" && group.rfind(mountRoot, 0) == 0) group = group.substr(mountRoot.size());
        if (group.empty() || group[0] != '/') group = "/" + group;
        return Hierarchy{field[4], group};
    }
    return std::nullopt;
}

// The quota of one group in processors, when it has one.
using QuotaReader = std::optional<double> (*)(const std::string& groupFolder);

std::optional<double> v2Quota(const std::string& groupFolder) {
    std::ifstream file(groupFolder + "/cpu.max");
    std::string quota;
    double period = 0;
    if (!(file >> quota >> period) || quota == "max" || period <= 0) return std::nullopt;
    try {
        return std::stod(quota) / period;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<double> v1Quota(const std::string& groupFolder) {
    const auto quota = numberIn(groupFolder + "/cpu.cfs_quota_us");
    const auto period = numberIn(groupFolder + "/cpu.cfs_period_us");
    if (!quota || !period || *quota <= 0 || *period <= 0) return std::nullopt;  // -1: no quota
    return *quota / *period;
}

// The smallest quota from the process's group up to the hierarchy's root.
std::optional<double> smallestQuota(const Hierarchy& hierarchy, QuotaReader readQuota) {
    std::optional<double> smallest;
    std::string group = hierarchy.groupPath;
    for (;;) {
        const std::string folder = hierarchy.mountPoint + (group == "/" ? "" : group);
        if (const auto quota = readQuota(folder); quota && (!smallest || *quota < *smallest)) smallest = quota;
        if (group.empty() || group == "/") break;
        const auto slash = group.rfind('/');
        group = slash == 0 || slash == std::string::npos ? "/" : group.substr(0, slash);
    }
    return smallest;
}

} // namespace

unsigned usableProcessorCount() {
    unsigned count = affinityProcessorCount();
    std::optional<double> quota;
    if (const auto v2 = hierarchyOf("")) quota = smallestQuota(*v2, v2Quota);
    if (const auto v1 = hierarchyOf("cpu"); !quota && v1) quota = smallestQuota(*v1, v1Quota);
    if (quota) count = std::min(count, static_cast<unsigned>(std::max(1.0, std::ceil(*quota))));
    return std::max(1u, count);
}

} // namespace pellora::cli
