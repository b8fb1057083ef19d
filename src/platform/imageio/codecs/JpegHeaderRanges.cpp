#include <optional>
#include <vector>

#include "platform/imageio/HeaderRangeReader.h"
#include "platform/imageio/codecs/JpegCodec.h"

namespace pellora {
namespace {

// The first chunk read: a camera JPEG's segments, its EXIF preview included,
// fit in it; each further chunk takes the prefix to four times its length.
constexpr std::size_t kFirstChunk = std::size_t{64} << 10;

constexpr std::uint8_t kStartOfScan = 0xda;
constexpr std::uint8_t kEndOfImage = 0xd9;

bool isStandaloneMarker(std::uint8_t marker) { return marker == 0x01 || (marker >= 0xd0 && marker <= 0xd8); }

// The length of the segments up to and including the header of the first
// scan, which hold the frame, the profile and every metadata block, when the
// prefix shows it; nullopt when it does not.
std::optional<std::size_t> segmentsExtent(std::span<const std::uint8_t> prefix) {
    std::size_t at = 2;
    while (at + 2 <= prefix.size()) {
        // Anything but a marker here is a damaged file: the decoder judges it, from the whole file.
        if (prefix[at] != 0xff) return std::nullopt;
        const std::uint8_t marker = prefix[at + 1];
        if (marker == 0xff) {  // fill byte
            ++at;
            continue;
        }
        if (marker == kEndOfImage) return std::nullopt;
        if (isStandaloneMarker(marker)) {
            at += 2;
            continue;
        }
        if (at + 4 > prefix.size()) return std::nullopt;
        const std::size_t end = at + 2 + ((std::size_t{prefix[at + 2]} << 8) | prefix[at + 3]);
        if (end > prefix.size()) return std::nullopt;
        if (marker == kStartOfScan) return end;
        at = end;
    }
    return std::nullopt;
}

} // namespace

// libjpeg's header read, Exiv2 and the EXIF preview all stop at the first
// scan, so a prefix that reaches past its header holds all they read.
bool JpegCodec::readHeaderRanges(HeaderRangeReader& reader) const {
    std::vector<std::uint8_t> prefix;
    for (std::size_t chunk = kFirstChunk; prefix.size() < reader.fileSize(); chunk *= 4) {
        const auto bytes = reader.read(prefix.size(), chunk - prefix.size());
        if (bytes.empty()) return false;
        prefix.insert(prefix.end(), bytes.begin(), bytes.end());
        if (segmentsExtent(prefix)) return true;
    }
    return false;
}

} // namespace pellora
