#include <cstring>

#include "platform/imageio/HeaderRangeReader.h"
#include "platform/imageio/codecs/PngCodec.h"

namespace pellora {
namespace {

constexpr std::size_t kSignatureBytes = 8;
constexpr std::size_t kChunkHeaderBytes = 8;  // length and type
constexpr std::size_t kCrcBytes = 4;
// The largest chunk length the format allows.
constexpr std::uint32_t kMaxChunkLength = 0x7fffffff;

std::uint32_t bigEndian32(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           bytes[3];
}

bool isImageData(const std::uint8_t* type) {
    return std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "fdAT", 4) == 0;
}

} // namespace

// Every chunk up to IEND, whole (libpng checks the CRCs of those before the
// image data), except the image data itself, of which only the chunk headers
// are read: the metadata reader walks them to find metadata placed after the
// image. A layout that does not end in IEND within the file is left to the
// whole read. The walk ends with the reader's allowance at the latest.
bool PngCodec::readHeaderRanges(HeaderRangeReader& reader) const {
    const std::uint64_t size = reader.fileSize();
    if (reader.read(0, kSignatureBytes).size() != kSignatureBytes) return false;
    std::uint64_t at = kSignatureBytes;
    while (at + kChunkHeaderBytes <= size) {
        const auto header = reader.read(at, kChunkHeaderBytes);
        if (header.size() != kChunkHeaderBytes) return false;
        const std::uint32_t length = bigEndian32(header.data());
        if (length > kMaxChunkLength) return false;
        const std::uint8_t* type = header.data() + 4;
        const std::uint64_t body = at + kChunkHeaderBytes;
        const std::uint64_t end = body + length + kCrcBytes;
        if (end > size) return false;
        if (!isImageData(type) && reader.read(body, length + kCrcBytes).size() != length + kCrcBytes) {
            return false;
        }
        if (std::memcmp(type, "IEND", 4) == 0) return true;
        at = end;
    }
    return false;
}

} // namespace pellora
