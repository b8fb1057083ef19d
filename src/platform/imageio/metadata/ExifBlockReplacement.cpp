#include "platform/imageio/metadata/ExifBlockReplacement.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace pellora {
namespace {

constexpr std::array<std::uint8_t, 6> kExifSignature{'E', 'x', 'i', 'f', 0, 0};
// The uuid of JPEG 2000's EXIF box: "JpgTiffExif->JP2".
constexpr std::array<std::uint8_t, 16> kJp2ExifUuid{'J', 'p', 'g', 'T', 'i', 'f', 'f', 'E',
                                                    'x', 'i', 'f', '-', '>', 'J', 'P', '2'};

std::uint32_t bigEndian32(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
}

// Replaces file[from, to) by header + block.
void splice(std::vector<std::uint8_t>& file, std::size_t from, std::size_t to, std::span<const std::uint8_t> header,
            std::span<const std::uint8_t> block) {
    std::vector<std::uint8_t> result;
    result.reserve(file.size() - (to - from) + header.size() + block.size());
    result.insert(result.end(), file.begin(), file.begin() + static_cast<std::ptrdiff_t>(from));
    result.insert(result.end(), header.begin(), header.end());
    result.insert(result.end(), block.begin(), block.end());
    result.insert(result.end(), file.begin() + static_cast<std::ptrdiff_t>(to), file.end());
    file = std::move(result);
}

} // namespace

bool replaceJpegExifBlock(std::vector<std::uint8_t>& file, std::span<const std::uint8_t> block) {
    if (block.size() > kMaxJpegExifBlock || file.size() < 4 || file[0] != 0xff || file[1] != 0xd8) return false;
    std::size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xff) {
        const std::uint8_t marker = file[at + 1];
        if (marker == 0xda || marker == 0xd9) return false;  // the scan or the end: no EXIF segment before
        const std::size_t length = std::size_t(file[at + 2]) << 8 | file[at + 3];
        if (length < 2 || file.size() - at - 2 < length) return false;
        const std::size_t payload = at + 4;
        if (marker == 0xe1 && length - 2 >= kExifSignature.size() &&
            std::equal(kExifSignature.begin(), kExifSignature.end(), file.begin() + static_cast<std::ptrdiff_t>(payload))) {
            const std::size_t newLength = 2 + kExifSignature.size() + block.size();
            std::array<std::uint8_t, 10> header{0xff, 0xe1, std::uint8_t(newLength >> 8), std::uint8_t(newLength)};
            std::copy(kExifSignature.begin(), kExifSignature.end(), header.begin() + 4);
            splice(file, at, at + 2 + length, header, block);
            return true;
        }
        at += 2 + length;
    }
    return false;
}

bool replaceJp2ExifBlock(std::vector<std::uint8_t>& file, std::span<const std::uint8_t> block) {
    std::size_t at = 0;
    while (file.size() - at >= 8) {
        std::uint64_t length = bigEndian32(&file[at]);
        std::size_t headerSize = 8;
        if (length == 1) {
            if (file.size() - at < 16) return false;
            length = std::uint64_t(bigEndian32(&file[at + 8])) << 32 | bigEndian32(&file[at + 12]);
            headerSize = 16;
        } else if (length == 0) {
            length = file.size() - at;  // the last box runs to the end
        }
        if (length < headerSize || length > file.size() - at) return false;
        const bool uuid = std::memcmp(&file[at + 4], "uuid", 4) == 0;
        if (uuid && length >= headerSize + kJp2ExifUuid.size() &&
            std::equal(kJp2ExifUuid.begin(), kJp2ExifUuid.end(), file.begin() + static_cast<std::ptrdiff_t>(at + headerSize))) {
            const std::uint64_t newLength = 8 + kJp2ExifUuid.size() + block.size();
            if (newLength > UINT32_MAX) return false;
            std::array<std::uint8_t, 24> header{std::uint8_t(newLength >> 24), std::uint8_t(newLength >> 16),
                                                std::uint8_t(newLength >> 8), std::uint8_t(newLength), 'u', 'u', 'i', 'd'};
            std::copy(kJp2ExifUuid.begin(), kJp2ExifUuid.end(), header.begin() + 8);
            splice(file, at, at + static_cast<std::size_t>(length), header, block);
            return true;
        }
        at += static_cast<std::size_t>(length);
    }
    return false;
}

} // namespace pellora
