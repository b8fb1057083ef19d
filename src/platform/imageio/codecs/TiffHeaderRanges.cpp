#include "platform/imageio/codecs/TiffHeaderRanges.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/imageio/metadata/TiffStreamReader.h"

namespace pellora {
namespace {

constexpr std::uint16_t kCompressionTag = 0x0103;
constexpr std::uint16_t kStripOffsetsTag = 0x0111;
constexpr std::uint16_t kStripByteCountsTag = 0x0117;
constexpr std::uint32_t kOldJpegCompression = 6;
constexpr std::uint32_t kJpegCompression = 7;
constexpr std::uint16_t kLongType = 4;
constexpr std::uint16_t kShortType = 3;
constexpr std::uint16_t kIfdType = 13;
// Bounds against hostile files: pages, their SubIFDs and EXIF directories.
constexpr std::size_t kMaxDirectories = 64;
constexpr int kMaxDepth = 4;
constexpr std::uint32_t kMaxPointers = 64;

// What a directory is to the readers of the file.
enum class Role {
    FirstImage,  // IFD0, which libtiff reads
    Thumbnail,   // IFD1, whose JPEG or strips Exiv2 keeps and exifPreview shows
    Other,       // later pages, SubIFDs, Exif, GPS, Interoperability
};

// What a directory's values tell about the data they lead to.
struct DirectoryValues {
    std::optional<std::uint32_t> compression;
    std::optional<std::uint32_t> jpegAt;
    std::optional<std::uint32_t> jpegLength;
    std::vector<std::uint32_t> stripOffsets;
    std::vector<std::uint32_t> stripByteCounts;
};

class RangeWalk {
public:
    explicit RangeWalk(HeaderRangeReader& reader) : _tiff(reader) {}

    bool run() {
        const auto first = _tiff.readHeader();
        if (!first) return false;
        std::size_t index = 0;
        // A chain that leads back to a directory already read ends there.
        for (std::uint32_t at = *first; at != 0 && !visited(at); ++index) {
            const Role role = index == 0 ? Role::FirstImage : index == 1 ? Role::Thumbnail : Role::Other;
            std::uint32_t next = 0;
            if (!readDirectory(at, 0, role, &next)) return false;
            at = next;
        }
        while (!_pending.empty()) {
            const auto [at, depth] = _pending.back();
            _pending.pop_back();
            if (!visited(at) && !readDirectory(at, depth, Role::Other)) return false;
        }
        return true;
    }

private:
    bool visited(std::uint32_t at) const { return std::find(_visited.begin(), _visited.end(), at) != _visited.end(); }

    // Reads the directory at `at` and every value it holds outside its
    // entries; with `next`, the link to the directory after it too.
    bool readDirectory(std::uint32_t at, int depth, Role role, std::uint32_t* next = nullptr) {
        if (depth > kMaxDepth || _visited.size() >= kMaxDirectories) return false;
        _visited.push_back(at);
        const auto count = _tiff.entryCount(at);
        if (!count) return false;
        // The entries come from the directory's range, read whole; the values
        // held in them are taken while it is at hand.
        DirectoryValues values;
        std::vector<tiff::Field> outside;
        for (std::uint16_t i = 0; i < *count; ++i) {
            const auto field = _tiff.field(tiff::entryOffset(at, i));
            if (!field) return false;
            if (field->size > 4) {
                outside.push_back(*field);
            } else if (!takeValue(*field, depth, values)) {
                return false;
            }
        }
        if (next != nullptr) {
            const auto link = _tiff.u32(tiff::entryOffset(at, *count));
            if (!link) return false;
            *next = *link;
        }
        // Then every value stored outside its entry, each taken as it is read.
        for (const tiff::Field& field : outside) {
            if (_tiff.bytes(field.offset, field.size).empty() || !takeValue(field, depth, values)) return false;
        }
        // libtiff reads the start of the first JPEG strip to learn its subsampling.
        if (role == Role::FirstImage &&
            (values.compression == kOldJpegCompression || values.compression == kJpegCompression)) {
            return false;
        }
        return role != Role::Thumbnail || readThumbnail(values);
    }

    // Notes what the field's value (read already) says: the directories it
    // leads to, the compression, the thumbnail's place.
    bool takeValue(const tiff::Field& field, int depth, DirectoryValues& values) {
        switch (field.tag) {
        case tiff::kSubIfdsPointer:
        case tiff::kExifPointer:
        case tiff::kGpsPointer:
        case tiff::kInteropPointer: {
            const auto offsets = integers(field);
            if (!offsets || offsets->size() > kMaxPointers || field.type == kShortType) return false;
            for (const std::uint32_t sub : *offsets) {
                if (sub != 0) _pending.emplace_back(sub, depth + 1);
            }
            return true;
        }
        case kCompressionTag: values.compression = single(field); return true;
        case tiff::kJpegInterchangeFormatTag: values.jpegAt = single(field); return true;
        case tiff::kJpegInterchangeFormatLengthTag: values.jpegLength = single(field); return true;
        case kStripOffsetsTag: values.stripOffsets = integers(field).value_or(std::vector<std::uint32_t>{}); return true;
        case kStripByteCountsTag:
            values.stripByteCounts = integers(field).value_or(std::vector<std::uint32_t>{});
            return true;
        default: return true;
        }
    }

    // The values of a SHORT, LONG or IFD field; nullopt for another type.
    std::optional<std::vector<std::uint32_t>> integers(const tiff::Field& field) {
        if (field.type != kShortType && field.type != kLongType && field.type != kIfdType) return std::nullopt;
        const std::uint32_t unit = field.type == kShortType ? 2 : 4;
        std::vector<std::uint32_t> values;
        for (std::uint32_t i = 0; i < field.count; ++i) {
            const std::uint64_t at = field.offset + std::uint64_t{i} * unit;
            const std::optional<std::uint32_t> value =
                unit == 2 ? std::optional<std::uint32_t>(_tiff.u16(at)) : _tiff.u32(at);
            if (!value) return std::nullopt;
            values.push_back(*value);
        }
        return values;
    }

    std::optional<std::uint32_t> single(const tiff::Field& field) {
        const auto values = integers(field);
        if (!values || values->size() != 1) return std::nullopt;
        return values->front();
    }

    // The data the second directory points at: its JPEG (the EXIF preview) and
    // its strips, both of which Exiv2 copies into the EXIF data it reads.
    bool readThumbnail(const DirectoryValues& values) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
        if (values.jpegAt && values.jpegLength) ranges.emplace_back(*values.jpegAt, *values.jpegLength);
        for (std::size_t i = 0; i < std::min(values.stripOffsets.size(), values.stripByteCounts.size()); ++i) {
            ranges.emplace_back(values.stripOffsets[i], values.stripByteCounts[i]);
        }
        for (const auto& [offset, length] : ranges) {
            // Data outside the file is left out by its readers too.
            if (length == 0 || offset > _tiff.size() || _tiff.size() - offset < length) continue;
            if (_tiff.bytes(offset, length).empty()) return false;
        }
        return true;
    }

    tiff::StreamReader _tiff;
    std::vector<std::uint32_t> _visited;
    std::vector<std::pair<std::uint32_t, int>> _pending;  // directory offset, depth
};

} // namespace

bool readTiffHeaderRanges(HeaderRangeReader& reader) {
    return RangeWalk(reader).run();
}

} // namespace pellora
