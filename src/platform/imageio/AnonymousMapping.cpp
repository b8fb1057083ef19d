#include "platform/imageio/AnonymousMapping.h"

#include <cerrno>
#include <cstring>
#include <fmt/format.h>
#include <sys/mman.h>
#include <utility>

#include "platform/foundation/Log.h"

namespace pellora {

std::optional<AnonymousMapping> AnonymousMapping::create(std::size_t size) {
    if (size == 0) return AnonymousMapping();
    // No swap is reserved up front: only the pages written are ever used.
    void* address = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (address == MAP_FAILED) {
        Log::line(fmt::format("ImageSource: cannot map {} bytes: {}", size, std::strerror(errno)));
        return std::nullopt;
    }
    return AnonymousMapping(static_cast<std::uint8_t*>(address), size);
}

AnonymousMapping::~AnonymousMapping() {
    if (_address) ::munmap(_address, _size);
}

AnonymousMapping::AnonymousMapping(AnonymousMapping&& other) noexcept
    : _address(std::exchange(other._address, nullptr)), _size(std::exchange(other._size, 0)) {}

AnonymousMapping& AnonymousMapping::operator=(AnonymousMapping&& other) noexcept {
    if (this != &other) {
        if (_address) ::munmap(_address, _size);
        _address = std::exchange(other._address, nullptr);
        _size = std::exchange(other._size, 0);
    }
    return *this;
}

} // namespace pellora
