#include <algorithm>
#include <cstring>

#include "platform/imageio/HeaderRangeReader.h"
#include "platform/imageio/codecs/WebpCodec.h"

namespace pellora {
namespace {

constexpr std::size_t kRiffHeaderBytes = 12;  // "RIFF", the size, "WEBP"
constexpr std::size_t kChunkHeaderBytes = 8;  // the tag and the payload's size
// The start of an image chunk's payload, where libwebp reads the frame's size
// and alpha (VP8: 10 bytes, VP8L: 5) and the metadata reader the canvas size.
constexpr std::size_t kImageFeatureBytes = 32;

std::uint32_t littleEndian32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) | (std::uint32_t{bytes[2]} << 16) |
           (std::uint32_t{bytes[3]} << 24);
}

bool isTag(const std::uint8_t* tag, const char* name) { return std::memcmp(tag, name, 4) == 0; }

} // namespace

// The RIFF chunks' headers; the extended header, the profile and the metadata
// whole; the first bytes of the image chunks. Animations are read whole.
bool WebpCodec::readHeaderRanges(HeaderRangeReader& reader) const {
    const auto riff = reader.read(0, kRiffHeaderBytes);
    if (riff.size() != kRiffHeaderBytes || !isTag(riff.data(), "RIFF") || !isTag(riff.data() + 8, "WEBP")) {
        return false;
    }
    // Bytes after the RIFF's end are not the image's; a RIFF longer than the
    // file is a truncated file, judged from the whole of it.
    const std::uint64_t end = std::uint64_t{littleEndian32(riff.data() + 4)} + kChunkHeaderBytes;
    if (end > reader.fileSize()) return false;
    std::uint64_t at = kRiffHeaderBytes;
    while (at + kChunkHeaderBytes <= end) {
        const auto header = reader.read(at, kChunkHeaderBytes);
        if (header.size() != kChunkHeaderBytes) return false;
        const std::uint8_t* tag = header.data();
        const std::uint32_t length = littleEndian32(header.data() + 4);
        const std::uint64_t payload = at + kChunkHeaderBytes;
        if (payload + length > end) return false;
        if (isTag(tag, "ANIM") || isTag(tag, "ANMF")) return false;
        std::size_t wanted = 0;
        if (isTag(tag, "VP8X") || isTag(tag, "ICCP") || isTag(tag, "EXIF") || isTag(tag, "XMP ")) {
            wanted = length;
        } else if (isTag(tag, "VP8 ") || isTag(tag, "VP8L") || isTag(tag, "ALPH")) {
            wanted = std::min<std::size_t>(length, kImageFeatureBytes);
        }
        if (wanted > 0 && reader.read(payload, wanted).size() != wanted) return false;
        // Chunks are padded to an even length.
        at = payload + length + (length & 1);
    }
    // A few trailing bytes, too few for a chunk, are read as they are.
    return at >= end || reader.read(at, static_cast<std::size_t>(end - at)).size() == end - at;
}

} // namespace pellora
