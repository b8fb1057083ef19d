#include "platform/imageio/codecs/IsoBoxes.h"

#include <algorithm>
#include <limits>

#include "platform/imageio/HeaderRangeReader.h"

namespace pellora {

std::optional<BoxHeader> parseBoxHeader(std::span<const std::uint8_t> head, std::uint64_t start, std::uint64_t limit) {
    if (start > limit || limit - start < 8 || head.size() < 8) return std::nullopt;
    BoxHeader box;
    box.type = be32(head.data() + 4);
    box.start = start;
    std::uint64_t size = be32(head.data());
    std::uint64_t headerSize = 8;
    if (size == 1) {
        if (limit - start < 16 || head.size() < 16) return std::nullopt;
        size = be64(head.data() + 8);
        headerSize = 16;
    } else if (size == 0) {
        size = limit - start;
    }
    if (size < headerSize || size > std::numeric_limits<std::uint64_t>::max() - start) return std::nullopt;
    box.contentStart = start + headerSize;
    box.end = start + size;
    return box;
}

std::optional<BoxHeader> readBoxHeader(HeaderRangeReader& reader, std::uint64_t start, std::uint64_t limit) {
    if (start >= limit) return std::nullopt;
    const auto head = reader.read(start, static_cast<std::size_t>(std::min<std::uint64_t>(kMaxBoxHeader, limit - start)));
    return parseBoxHeader(head, start, limit);
}

} // namespace pellora
