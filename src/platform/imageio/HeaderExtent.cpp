#include "platform/imageio/HeaderExtent.h"

namespace pellora {
namespace {

constexpr std::uint8_t kStartOfScan = 0xda;
constexpr std::uint8_t kEndOfImage = 0xd9;

bool isStandaloneMarker(std::uint8_t marker) {
    return marker == 0x01 || (marker >= 0xd0 && marker <= 0xd8);
}

std::optional<std::size_t> jpegHeaderExtent(std::span<const std::uint8_t> bytes) {
    std::size_t at = 2;
    while (at + 2 <= bytes.size()) {
        // Anything but a marker here is a damaged file: the decoder judges it, from the whole file.
        if (bytes[at] != 0xff) return std::nullopt;
        const std::uint8_t marker = bytes[at + 1];
        if (marker == 0xff) {  // fill byte
            ++at;
            continue;
        }
        if (marker == kEndOfImage) return std::nullopt;
        if (isStandaloneMarker(marker)) {
            at += 2;
            continue;
        }
        if (at + 4 > bytes.size()) return std::nullopt;
        const std::size_t end = at + 2 + ((std::size_t{bytes[at + 2]} << 8) | bytes[at + 3]);
        if (end > bytes.size()) return std::nullopt;
        if (marker == kStartOfScan) return end;
        at = end;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::size_t> headerExtent(std::span<const std::uint8_t> prefix) {
    if (prefix.size() >= 2 && prefix[0] == 0xff && prefix[1] == 0xd8) return jpegHeaderExtent(prefix);
    return std::nullopt;
}

} // namespace pellora
