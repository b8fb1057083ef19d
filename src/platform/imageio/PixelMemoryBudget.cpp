#include "platform/imageio/PixelMemoryBudget.h"

#include <algorithm>
#include <charconv>
#include <fmt/format.h>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/foundation/Log.h"

namespace pellora {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kMaxDefaultCapacity = std::uint64_t{2} << 30;

thread_local int tCoveredDepth = 0;

// The number a control-group limit file holds; 0 when it is missing, "max"
// (no limit) or not a number.
std::uint64_t limitInFile(const std::string& path) {
    std::ifstream file(path);
    std::string text;
    if (!(file >> text)) return 0;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() ? value : 0;
}

// The files that may hold this process's memory limit: the control group's
// own and its ancestors', as the process names them (/proc/self/cgroup) and
// at the mount's top (where a container sees its own group). Version 2 keeps
// memory.max, version 1 memory.limit_in_bytes.
std::vector<std::string> cgroupLimitFiles() {
    std::vector<std::string> files{"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"};
    std::ifstream membership("/proc/self/cgroup");
    std::string line;
    while (std::getline(membership, line)) {
        // "0::/path" (version 2) or "4:memory:/path" (version 1).
        const auto first = line.find(':');
        const auto second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string group = line.substr(second + 1);
        std::string prefix, name;
        if (controllers.empty()) {
            prefix = "/sys/fs/cgroup";
            name = "/memory.max";
        } else if (controllers == "memory" || controllers.find("memory,") != std::string::npos ||
                   controllers.ends_with(",memory")) {
            prefix = "/sys/fs/cgroup/memory";
            name = "/memory.limit_in_bytes";
        } else {
            continue;
        }
        while (group.size() > 1) {
            files.push_back(prefix + group + name);
            group.erase(group.rfind('/'));
            if (group.empty()) break;
        }
    }
    return files;
}

std::uint64_t cgroupMemoryLimit() {
    std::uint64_t lowest = 0;
    for (const std::string& file : cgroupLimitFiles()) {
        const std::uint64_t limit = limitInFile(file);
        if (limit > 0 && (lowest == 0 || limit < lowest)) lowest = limit;
    }
    return lowest;
}

std::uint64_t physicalMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? std::uint64_t(pages) * std::uint64_t(pageSize) : 0;
}

} // namespace

PixelReservation::PixelReservation(PixelReservation&& other) noexcept
    : _budget(std::exchange(other._budget, nullptr)), _bytes(std::exchange(other._bytes, 0)) {}

PixelReservation& PixelReservation::operator=(PixelReservation&& other) noexcept {
    if (this != &other) {
        release();
        _budget = std::exchange(other._budget, nullptr);
        _bytes = std::exchange(other._bytes, 0);
    }
    return *this;
}

void PixelReservation::release() {
    if (_budget != nullptr) _budget->giveBack(_bytes);
    _budget = nullptr;
    _bytes = 0;
}

PixelMemoryBudget& PixelMemoryBudget::shared() {
    static PixelMemoryBudget budget(defaultCapacity());
    return budget;
}

std::uint64_t PixelMemoryBudget::capacityFor(std::uint64_t physicalBytes, std::uint64_t cgroupLimitBytes) {
    std::uint64_t memory = physicalBytes;
    if (cgroupLimitBytes > 0 && (memory == 0 || cgroupLimitBytes < memory)) memory = cgroupLimitBytes;
    // Without any figure the cap itself is the best guess.
    if (memory == 0) return kMaxDefaultCapacity;
    return std::min(memory / 4, kMaxDefaultCapacity);
}

std::uint64_t PixelMemoryBudget::defaultCapacity() { return capacityFor(physicalMemory(), cgroupMemoryLimit()); }

std::uint64_t PixelMemoryBudget::capacity() const {
    std::lock_guard lock(_mutex);
    return _capacity;
}

void PixelMemoryBudget::setCapacity(std::uint64_t bytes) {
    {
        std::lock_guard lock(_mutex);
        _capacity = bytes;
    }
    // Waiters may now fit, or now be refused.
    _released.notify_all();
}

std::uint64_t PixelMemoryBudget::inUse() const {
    std::lock_guard lock(_mutex);
    return _inUse;
}

std::size_t PixelMemoryBudget::waiting() const {
    std::lock_guard lock(_mutex);
    return _waiting;
}

PixelReservation PixelMemoryBudget::reserve(std::uint64_t bytes, std::string_view what) {
    std::unique_lock lock(_mutex);
    for (;;) {
        if (bytes > _capacity) {
            const std::uint64_t capacity = _capacity;
            lock.unlock();
            Log::line(fmt::format("{} needs {} MiB of memory for its pixels, more than the {} MiB allowed", what,
                                  (bytes + kMiB - 1) / kMiB, capacity / kMiB));
            return {};
        }
        if (_inUse + bytes <= _capacity) break;
        ++_waiting;
        _released.wait(lock);
        --_waiting;
    }
    _inUse += bytes;
    return PixelReservation(*this, bytes);
}

void PixelMemoryBudget::giveBack(std::uint64_t bytes) {
    {
        std::lock_guard lock(_mutex);
        _inUse -= bytes;
    }
    _released.notify_all();
}

PixelMemoryBudget::CoveredScope::CoveredScope() { ++tCoveredDepth; }
PixelMemoryBudget::CoveredScope::~CoveredScope() { --tCoveredDepth; }
bool PixelMemoryBudget::coveredOnThisThread() { return tCoveredDepth > 0; }

} // namespace pellora
