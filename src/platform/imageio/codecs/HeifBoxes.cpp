#include "platform/imageio/codecs/HeifBoxes.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "platform/imageio/HeaderRangeReader.h"
#include "platform/imageio/codecs/IsoBoxes.h"

namespace pellora {
namespace {

// Real files hold a handful of top-level boxes and a few hundred items; these
// bound the work a hostile file can cause before the whole file is read instead.
constexpr std::size_t kMaxTopLevelBoxes = 1024;
constexpr std::size_t kMaxLocationEntries = std::size_t{1} << 20;  // items and extents in `iloc`
constexpr std::size_t kMaxRangesRead = 4096;

// Item types whose data is a coded image (or a tile of one).
constexpr std::uint32_t kCodedImageTypes[] = {
    fourCC("hvc1"), fourCC("hev1"), fourCC("hvt1"), fourCC("lhv1"), fourCC("av01"), fourCC("avc1"), fourCC("jpeg"),
    fourCC("j2k1"), fourCC("vvc1"), fourCC("vvi1"), fourCC("evc1"), fourCC("unci"), fourCC("mski"),
};

bool isCodedImage(std::uint32_t type) {
    return std::find(std::begin(kCodedImageTypes), std::end(kCodedImageTypes), type) != std::end(kCodedImageTypes);
}

// Big-endian fields of a box's content in memory, each read checked against its end.
class FieldReader {
public:
    explicit FieldReader(std::span<const std::uint8_t> bytes) : _bytes(bytes) {}

    // An unsigned field of 0, 1, 2, 4 or 8 bytes (a field of 0 bytes reads 0).
    std::optional<std::uint64_t> next(std::size_t size) {
        if (size > _bytes.size() - _at) return std::nullopt;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value = value << 8 | _bytes[_at + i];
        _at += size;
        return value;
    }

private:
    std::span<const std::uint8_t> _bytes;
    std::size_t _at = 0;
};

struct Range {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The children of a box whose content (after `skip` bytes of its own fields)
// is a sequence of boxes, as headers with offsets into `content`.
std::vector<BoxHeader> childBoxes(std::span<const std::uint8_t> content, std::size_t skip) {
    std::vector<BoxHeader> children;
    for (std::uint64_t at = skip; at + 8 <= content.size();) {
        const auto child = parseBoxHeader(content.subspan(static_cast<std::size_t>(at)), at, content.size());
        if (!child || child->end > content.size()) break;
        children.push_back(*child);
        at = child->end;
    }
    return children;
}

std::span<const std::uint8_t> contentOf(std::span<const std::uint8_t> parent, const BoxHeader& box) {
    return parent.subspan(static_cast<std::size_t>(box.contentStart), static_cast<std::size_t>(box.contentSize()));
}

// Item types by item ID, from the item information box (`infe` entries of
// version 2 and later carry a type; older ones are left out).
std::unordered_map<std::uint32_t, std::uint32_t> itemTypes(std::span<const std::uint8_t> iinf) {
    std::unordered_map<std::uint32_t, std::uint32_t> types;
    if (iinf.empty()) return types;
    const std::size_t countSize = iinf[0] == 0 ? 2 : 4;
    for (const BoxHeader& entry : childBoxes(iinf, 4 + countSize)) {
        if (entry.type != fourCC("infe")) continue;
        FieldReader fields(contentOf(iinf, entry));
        const auto version = fields.next(1);
        if (!version || *version < 2 || !fields.next(3)) continue;
        const auto id = fields.next(*version == 2 ? 2 : 4);
        const auto protection = fields.next(2);
        const auto type = fields.next(4);
        if (id && protection && type) types.emplace(static_cast<std::uint32_t>(*id), static_cast<std::uint32_t>(*type));
    }
    return types;
}

bool isFieldSize(std::uint64_t size) { return size == 0 || size == 4 || size == 8; }

// Adds to `ranges` the file extents of every item in the item location box
// that is not a coded image. false when the box is broken or an item that
// must be read lies elsewhere than in this file or the `idat` box.
bool addItemExtents(std::span<const std::uint8_t> iloc, const std::unordered_map<std::uint32_t, std::uint32_t>& types,
                    std::uint64_t fileSize, std::vector<Range>& ranges) {
    FieldReader fields(iloc);
    const auto version = fields.next(1);
    const auto flags = fields.next(3);
    const auto sizes = fields.next(1);
    const auto moreSizes = fields.next(1);
    if (!version || !flags || !sizes || !moreSizes || *version > 2) return false;
    const std::uint64_t offsetSize = *sizes >> 4, lengthSize = *sizes & 0xf, baseOffsetSize = *moreSizes >> 4;
    const std::uint64_t indexSize = *version >= 1 ? *moreSizes & 0xf : 0;
    if (!isFieldSize(offsetSize) || !isFieldSize(lengthSize) || !isFieldSize(baseOffsetSize) || !isFieldSize(indexSize)) {
        return false;
    }
    const auto itemCount = fields.next(*version < 2 ? 2 : 4);
    if (!itemCount) return false;
    std::size_t entries = 0;
    for (std::uint64_t item = 0; item < *itemCount; ++item) {
        const auto id = fields.next(*version < 2 ? 2 : 4);
        const auto method = *version >= 1 ? fields.next(2) : std::optional<std::uint64_t>(0);
        const auto dataReference = fields.next(2);
        const auto baseOffset = fields.next(baseOffsetSize);
        const auto extentCount = fields.next(2);
        if (!id || !method || !dataReference || !baseOffset || !extentCount) return false;
        const auto type = types.find(static_cast<std::uint32_t>(*id));
        const bool wanted = type == types.end() || !isCodedImage(type->second);
        // Construction method 0 gives offsets in the file; 1 puts the data in
        // `idat`, inside `meta`, which is read whole.
        const std::uint64_t construction = *method & 0xf;
        if (wanted && (construction > 1 || *dataReference != 0)) return false;
        entries += 1 + *extentCount;
        if (entries > kMaxLocationEntries) return false;
        for (std::uint64_t extent = 0; extent < *extentCount; ++extent) {
            const auto index = fields.next(indexSize);
            const auto offset = fields.next(offsetSize);
            const auto length = fields.next(lengthSize);
            if (!index || !offset || !length) return false;
            if (!wanted || construction != 0 || *offset > std::numeric_limits<std::uint64_t>::max() - *baseOffset) continue;
            const std::uint64_t start = *baseOffset + *offset;
            if (start >= fileSize) continue;
            // A length of 0 means the rest of the file.
            const std::uint64_t available = fileSize - start;
            ranges.push_back({start, *length == 0 ? available : std::min(*length, available)});
        }
    }
    return true;
}

// The extents of the non-image items that a meta box's item location box names.
bool addMetaItemExtents(std::span<const std::uint8_t> meta, std::uint64_t fileSize, std::vector<Range>& ranges) {
    const auto children = childBoxes(meta, 4);  // after the full box's version and flags
    std::unordered_map<std::uint32_t, std::uint32_t> types;
    for (const BoxHeader& child : children) {
        if (child.type == fourCC("iinf")) types = itemTypes(contentOf(meta, child));
    }
    for (const BoxHeader& child : children) {
        if (child.type == fourCC("iloc") && !addItemExtents(contentOf(meta, child), types, fileSize, ranges)) {
            return false;
        }
    }
    return true;
}

// Reads the ranges, overlapping and adjacent ones merged; false when a read comes back short.
bool readRanges(HeaderRangeReader& reader, std::vector<Range> ranges) {
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.offset < b.offset; });
    std::vector<Range> merged;
    for (const Range& range : ranges) {
        if (!merged.empty() && range.offset <= merged.back().offset + merged.back().length) {
            merged.back().length = std::max(merged.back().length, range.offset + range.length - merged.back().offset);
        } else {
            merged.push_back(range);
        }
    }
    if (merged.size() > kMaxRangesRead) return false;
    for (const Range& range : merged) {
        if (range.length == 0) continue;
        if (range.length > std::numeric_limits<std::size_t>::max() ||
            reader.read(range.offset, static_cast<std::size_t>(range.length)).size() != range.length) {
            return false;
        }
    }
    return true;
}

// The whole content of a box, or empty when the read comes back short.
std::span<const std::uint8_t> readContent(HeaderRangeReader& reader, const BoxHeader& box) {
    if (box.contentSize() == 0 || box.contentSize() > std::numeric_limits<std::size_t>::max()) return {};
    const auto content = reader.read(box.contentStart, static_cast<std::size_t>(box.contentSize()));
    return content.size() == box.contentSize() ? content : std::span<const std::uint8_t>{};
}

} // namespace

bool readHeifHeaderRanges(HeaderRangeReader& reader) {
    const std::uint64_t fileSize = reader.fileSize();
    std::vector<Range> itemRanges;
    std::uint64_t at = 0;
    for (std::size_t count = 0; at < fileSize; ++count) {
        const auto box = readBoxHeader(reader, at, fileSize);
        if (!box || box->end > fileSize || count >= kMaxTopLevelBoxes) return false;
        if (count == 0 && box->type != fourCC("ftyp")) return false;
        switch (box->type) {
        case fourCC("moov"):  // an image sequence: its samples are not items
            return false;
        case fourCC("ftyp"):
        case fourCC("meta"):
        // Boxes the metadata reader takes EXIF or XMP from when they stand at the top.
        case fourCC("uuid"):
        case fourCC("Exif"):
        case fourCC("exif"):
        case fourCC("xml "): {
            const auto content = readContent(reader, *box);
            if (content.size() != box->contentSize()) return false;
            if (box->type == fourCC("meta") && !addMetaItemExtents(content, fileSize, itemRanges)) return false;
            break;
        }
        default:  // `mdat` and the like: the coded images, never read for the header
            break;
        }
        at = box->end;
    }
    return readRanges(reader, std::move(itemRanges));
}

} // namespace pellora
