#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace pellora {

// Private anonymous memory that reads as zeros: a page takes memory only once
// it is written, so a buffer the size of a large file costs only the pages
// that receive bytes. Unmapped when the last owner goes.
class AnonymousMapping {
public:
    AnonymousMapping() = default;
    // nullopt (after one log line) when the address space cannot be had.
    static std::optional<AnonymousMapping> create(std::size_t size);
    ~AnonymousMapping();
    AnonymousMapping(AnonymousMapping&& other) noexcept;
    AnonymousMapping& operator=(AnonymousMapping&& other) noexcept;
    AnonymousMapping(const AnonymousMapping&) = delete;
    AnonymousMapping& operator=(const AnonymousMapping&) = delete;

    std::span<std::uint8_t> bytes() const { return {_address, _size}; }

private:
    AnonymousMapping(std::uint8_t* address, std::size_t size) : _address(address), _size(size) {}

    std::uint8_t* _address = nullptr;
    std::size_t _size = 0;
};

} // namespace pellora
