#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>

namespace pellora {

class PixelMemoryBudget;

// A share of a PixelMemoryBudget, given back when it is destroyed. An empty
// (refused or moved-from) reservation holds nothing.
class PixelReservation {
public:
    PixelReservation() = default;
    PixelReservation(PixelReservation&& other) noexcept;
    PixelReservation& operator=(PixelReservation&& other) noexcept;
    PixelReservation(const PixelReservation&) = delete;
    PixelReservation& operator=(const PixelReservation&) = delete;
    ~PixelReservation() { release(); }

    bool granted() const { return _budget != nullptr; }
    std::uint64_t bytes() const { return _bytes; }
    // Gives the share back now.
    void release();

private:
    friend class PixelMemoryBudget;
    PixelReservation(PixelMemoryBudget& budget, std::uint64_t bytes) : _budget(&budget), _bytes(bytes) {}

    PixelMemoryBudget* _budget = nullptr;
    std::uint64_t _bytes = 0;
};

// The memory the process lets decoded images, resampling and output bitmaps
// hold at once. Every decode draws its share from it before allocating, so
// that files whose headers claim huge images cannot together exhaust memory:
// a share larger than what is free waits until others are given back; one
// larger than the whole budget is refused.
class PixelMemoryBudget {
public:
    explicit PixelMemoryBudget(std::uint64_t capacity) : _capacity(capacity) {}

    // The one budget of the process, of defaultCapacity() unless set.
    static PixelMemoryBudget& shared();
    // A quarter of the smaller of physical memory and the control group's
    // memory limit, at most 2 GiB.
    static std::uint64_t defaultCapacity();
    // The default from those figures (0 for a limit that is absent).
    static std::uint64_t capacityFor(std::uint64_t physicalBytes, std::uint64_t cgroupLimitBytes);

    std::uint64_t capacity() const;
    // Changes the capacity; shares already given stay given.
    void setCapacity(std::uint64_t bytes);
    std::uint64_t inUse() const;
    // How many reserve() calls are waiting for memory to be given back.
    std::size_t waiting() const;

    // Waits until bytes are free and takes them. A request larger than the
    // capacity is refused at once, with one log line naming `what`.
    PixelReservation reserve(std::uint64_t bytes, std::string_view what);

    // While one lives, decodes on this thread take nothing from the budget:
    // the caller's reservation already counts them (a record's whole output).
    class CoveredScope {
    public:
        CoveredScope();
        ~CoveredScope();
        CoveredScope(const CoveredScope&) = delete;
        CoveredScope& operator=(const CoveredScope&) = delete;
    };
    static bool coveredOnThisThread();

private:
    friend class PixelReservation;
    void giveBack(std::uint64_t bytes);

    mutable std::mutex _mutex;
    std::condition_variable _released;
    std::uint64_t _capacity;
    std::uint64_t _inUse = 0;
    std::size_t _waiting = 0;
};

} // namespace pellora
