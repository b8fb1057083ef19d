#include "platform/imageio/metadata/TiffStructure.h"

#include <algorithm>
#include <array>
#include <utility>

namespace pellora::tiff {
namespace {

// Entries whose values are offsets of data that lies outside the directories.
constexpr std::array<std::uint16_t, 3> kDataPointers{0x0111 /* strips */, 0x0144 /* tiles */,
                                                     kJpegInterchangeFormatTag /* thumbnail */};
// Bounds against hostile streams: an EXIF block has a handful of directories.
constexpr int kMaxDepth = 4;
constexpr std::size_t kMaxDirectories = 32;
constexpr std::uint32_t kMaxSubDirectories = 8;

bool isPointerTag(std::uint16_t tag) {
    return tag == kExifPointer || tag == kGpsPointer || tag == kInteropPointer || tag == kSubIfdsPointer;
}

// Reads a stream's directories into a tree.
class TreeReader {
public:
    explicit TreeReader(std::span<const std::uint8_t> stream) : _bytes(stream), _reader(_bytes) {}

    StreamReader& reader() { return _reader; }

    std::optional<Directory> readDirectory(std::uint32_t at, int depth) {
        if (depth > kMaxDepth || ++_directories > kMaxDirectories) return std::nullopt;
        const auto count = _reader.entryCount(at);
        if (!count) return std::nullopt;
        if (std::find(_visited.begin(), _visited.end(), at) != _visited.end()) return std::nullopt;
        _visited.push_back(at);
        Directory directory;
        for (std::uint16_t i = 0; i < *count; ++i) {
            const auto field = _reader.field(entryOffset(at, i));
            if (!field) return std::nullopt;
            if (std::find(kDataPointers.begin(), kDataPointers.end(), field->tag) != kDataPointers.end()) {
                return std::nullopt;
            }
            Entry entry;
            entry.tag = field->tag;
            entry.type = field->type;
            entry.count = field->count;
            if (isPointerTag(entry.tag)) {
                if ((entry.type != 4 && entry.type != 13) || entry.count == 0 || entry.count > kMaxSubDirectories) {
                    return std::nullopt;
                }
                for (std::uint32_t k = 0; k < entry.count; ++k) {
                    const auto subAt = _reader.u32(field->offset + std::uint64_t{k} * 4);
                    if (!subAt) return std::nullopt;
                    auto sub = readDirectory(*subAt, depth + 1);
                    if (!sub) return std::nullopt;
                    entry.subDirectories.push_back(std::move(*sub));
                }
            } else {
                const auto value = _reader.bytes(field->offset, field->size);
                entry.value.assign(value.begin(), value.end());
            }
            directory.entries.push_back(std::move(entry));
        }
        return directory;
    }

private:
    MemoryRanges _bytes;
    StreamReader _reader;
    std::size_t _directories = 0;
    std::vector<std::uint32_t> _visited;
};

class Writer {
public:
    Writer(const Tree& tree, std::uint32_t maxSize) : _bigEndian(tree.bigEndian), _maxSize(maxSize) {}

    bool reserveFixed(const Tree& tree) {
        for (const Directory& directory : tree.chain) {
            if (!reserveFixedIn(directory)) return false;
        }
        std::sort(_fixed.begin(), _fixed.end(),
                  [](const Placement& a, const Placement& b) { return a.offset < b.offset; });
        for (std::size_t i = 0; i < _fixed.size(); ++i) {
            if (_fixed[i].offset < 8 || std::uint64_t{_fixed[i].offset} + _fixed[i].size > _maxSize) return false;
            if (i > 0 && std::uint64_t{_fixed[i - 1].offset} + _fixed[i - 1].size > _fixed[i].offset) return false;
        }
        return true;
    }

    std::optional<std::vector<std::uint8_t>> write(const Tree& tree) {
        if (!grow(8)) return std::nullopt;
        _out[0] = _out[1] = _bigEndian ? 'M' : 'I';
        put16(2, 42);
        std::size_t pointerAt = 4;  // where the offset of the next directory goes
        for (const Directory& directory : tree.chain) {
            const auto at = writeDirectory(directory);
            if (!at) return std::nullopt;
            put32(pointerAt, *at);
            pointerAt = *at + 2 + directory.entries.size() * 12;
        }
        for (const auto& [fixed, bytes] : _fixedValues) {
            if (!grow(std::uint64_t{fixed.offset} + fixed.size)) return std::nullopt;
            putBytes(fixed.offset, *bytes);
        }
        return std::move(_out);
    }

private:
    bool reserveFixedIn(const Directory& directory) {
        for (const Entry& entry : directory.entries) {
            if (entry.fixedOffset) {
                if (entry.value.size() <= 4 || entry.value.size() > _maxSize) return false;
                _fixed.push_back({*entry.fixedOffset, static_cast<std::uint32_t>(entry.value.size())});
                _fixedValues.emplace_back(_fixed.back(), &entry.value);
            }
            for (const Directory& sub : entry.subDirectories) {
                if (!reserveFixedIn(sub)) return false;
            }
        }
        return true;
    }

    bool grow(std::uint64_t size) {
        if (size > _maxSize) return false;
        if (size > _out.size()) _out.resize(static_cast<std::size_t>(size), 0);
        return true;
    }

    // A word-aligned place for size bytes after what is written, clear of the fixed values.
    std::optional<std::uint32_t> allocate(std::size_t size) {
        std::uint64_t at = (_out.size() + 1) & ~std::uint64_t{1};
        for (const Placement& fixed : _fixed) {
            if (at < std::uint64_t{fixed.offset} + fixed.size && at + size > fixed.offset) {
                at = (std::uint64_t{fixed.offset} + fixed.size + 1) & ~std::uint64_t{1};
            }
        }
        if (!grow(at + size)) return std::nullopt;
        return static_cast<std::uint32_t>(at);
    }

    void put16(std::size_t at, std::uint16_t value) {
        _out[at + (_bigEndian ? 0 : 1)] = std::uint8_t(value >> 8);
        _out[at + (_bigEndian ? 1 : 0)] = std::uint8_t(value);
    }

    void put32(std::size_t at, std::uint32_t value) {
        put16(at + (_bigEndian ? 0 : 2), std::uint16_t(value >> 16));
        put16(at + (_bigEndian ? 2 : 0), std::uint16_t(value));
    }

    void putBytes(std::size_t at, const std::vector<std::uint8_t>& bytes) {
        std::copy(bytes.begin(), bytes.end(), _out.begin() + static_cast<std::ptrdiff_t>(at));
    }

    std::optional<std::uint32_t> writeDirectory(const Directory& directory) {
        if (directory.entries.size() > 0xffff) return std::nullopt;
        const auto at = allocate(2 + directory.entries.size() * 12 + 4);
        if (!at) return std::nullopt;
        put16(*at, static_cast<std::uint16_t>(directory.entries.size()));
        for (std::size_t i = 0; i < directory.entries.size(); ++i) {
            const Entry& entry = directory.entries[i];
            const std::size_t entryAt = *at + 2 + i * 12;
            if (!writeEntry(entry, entryAt)) return std::nullopt;
        }
        return at;
    }

    bool writeEntry(const Entry& entry, std::size_t entryAt) {
        put16(entryAt, entry.tag);
        put16(entryAt + 2, entry.type);
        if (!entry.subDirectories.empty()) {
            std::vector<std::uint32_t> offsets;
            for (const Directory& sub : entry.subDirectories) {
                const auto subAt = writeDirectory(sub);
                if (!subAt) return false;
                offsets.push_back(*subAt);
            }
            put32(entryAt + 4, static_cast<std::uint32_t>(offsets.size()));
            std::size_t valueAt = entryAt + 8;
            if (offsets.size() > 1) {
                const auto listAt = allocate(offsets.size() * 4);
                if (!listAt) return false;
                put32(entryAt + 8, *listAt);
                valueAt = *listAt;
            }
            for (std::size_t k = 0; k < offsets.size(); ++k) put32(valueAt + k * 4, offsets[k]);
            return true;
        }
        put32(entryAt + 4, entry.count);
        if (entry.fixedOffset) {
            put32(entryAt + 8, *entry.fixedOffset);  // the value is copied there at the end
        } else if (entry.value.size() <= 4) {
            putBytes(entryAt + 8, entry.value);
        } else {
            const auto valueAt = allocate(entry.value.size());
            if (!valueAt) return false;
            put32(entryAt + 8, *valueAt);
            putBytes(*valueAt, entry.value);
        }
        return true;
    }

    bool _bigEndian;
    std::uint32_t _maxSize;
    std::vector<Placement> _fixed;  // sorted by offset
    std::vector<std::pair<Placement, const std::vector<std::uint8_t>*>> _fixedValues;
    std::vector<std::uint8_t> _out;
};

} // namespace

std::optional<Tree> readTree(std::span<const std::uint8_t> stream) {
    TreeReader reader(stream);
    const auto first = reader.reader().readHeader();
    if (!first) return std::nullopt;
    Tree tree;
    tree.bigEndian = reader.reader().bigEndian();
    for (std::uint32_t at = *first; at != 0;) {
        auto directory = reader.readDirectory(at, 0);
        const auto next = reader.reader().nextDirectory(at);
        if (!directory || !next) return std::nullopt;
        tree.chain.push_back(std::move(*directory));
        at = *next;
    }
    return tree;
}

std::optional<std::vector<std::uint8_t>> writeTree(const Tree& tree, std::uint32_t maxSize) {
    Writer writer(tree, maxSize);
    if (!writer.reserveFixed(tree)) return std::nullopt;
    return writer.write(tree);
}

Entry* findExifEntry(Tree& tree, std::uint16_t tag) {
    if (tree.chain.empty()) return nullptr;
    // The first Exif pointer and the first entry of the tag, as readers take them.
    const auto pointer = std::find_if(tree.chain.front().entries.begin(), tree.chain.front().entries.end(),
                                      [](const Entry& entry) { return entry.tag == kExifPointer; });
    if (pointer == tree.chain.front().entries.end() || pointer->subDirectories.size() != 1) return nullptr;
    for (Entry& entry : pointer->subDirectories.front().entries) {
        if (entry.tag == tag) return &entry;
    }
    return nullptr;
}

std::optional<Placement> makerNotePlacement(std::span<const std::uint8_t> stream) {
    MemoryRanges bytes(stream);
    StreamReader reader(bytes);
    const auto ifd0 = reader.readHeader();
    if (!ifd0) return std::nullopt;
    const auto pointer = reader.findEntry(*ifd0, kExifPointer);
    const auto exif = pointer ? reader.u32(*pointer + 8) : std::nullopt;
    if (!exif) return std::nullopt;
    const auto entry = reader.findEntry(*exif, kMakerNoteTag);
    const auto value = entry ? reader.field(*entry) : std::nullopt;
    if (!value) return std::nullopt;
    return Placement{value->offset, value->size};
}

} // namespace pellora::tiff
