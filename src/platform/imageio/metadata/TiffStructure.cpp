#include "platform/imageio/metadata/TiffStructure.h"

#include <algorithm>
#include <array>
#include <utility>

namespace pellora::tiff {
namespace {

constexpr std::uint16_t kExifPointer = 0x8769;
constexpr std::uint16_t kGpsPointer = 0x8825;
constexpr std::uint16_t kInteropPointer = 0xa005;
constexpr std::uint16_t kSubIfdsPointer = 0x014a;
// Entries whose values are offsets of data that lies outside the directories.
constexpr std::array<std::uint16_t, 3> kDataPointers{0x0111 /* strips */, 0x0144 /* tiles */,
                                                     0x0201 /* thumbnail */};
// Bounds against hostile streams: an EXIF block has a handful of directories.
constexpr int kMaxDepth = 4;
constexpr std::size_t kMaxDirectories = 32;
constexpr std::uint32_t kMaxSubDirectories = 8;

std::uint32_t typeSize(std::uint16_t type) {
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;  // byte, ASCII, signed byte, undefined
    case 3: case 8: return 2;                  // short, signed short
    case 4: case 9: case 11: case 13: return 4;  // long, signed long, float, IFD
    case 5: case 10: case 12: return 8;        // rational, signed rational, double
    default: return 0;
    }
}

bool isPointerTag(std::uint16_t tag) {
    return tag == kExifPointer || tag == kGpsPointer || tag == kInteropPointer || tag == kSubIfdsPointer;
}

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> stream) : _stream(stream) {}

    // Reads the header; false when the stream does not start like TIFF.
    bool readHeader(std::uint32_t& firstDirectory) {
        if (_stream.size() < 8) return false;
        if (_stream[0] == 'I' && _stream[1] == 'I') {
            _bigEndian = false;
        } else if (_stream[0] == 'M' && _stream[1] == 'M') {
            _bigEndian = true;
        } else {
            return false;
        }
        std::uint16_t magic = 0;
        return read16(2, magic) && magic == 42 && read32(4, firstDirectory);
    }

    bool bigEndian() const { return _bigEndian; }

    bool read16(std::size_t at, std::uint16_t& value) const {
        if (at > _stream.size() || _stream.size() - at < 2) return false;
        value = _bigEndian ? std::uint16_t(_stream[at] << 8 | _stream[at + 1])
                           : std::uint16_t(_stream[at + 1] << 8 | _stream[at]);
        return true;
    }

    bool read32(std::size_t at, std::uint32_t& value) const {
        std::uint16_t first = 0, second = 0;
        if (!read16(at, first) || !read16(at + 2, second)) return false;
        value = _bigEndian ? std::uint32_t(first) << 16 | second : std::uint32_t(second) << 16 | first;
        return true;
    }

    // The value of the entry at `at`: where it lies in the stream and its size.
    bool valueOf(std::size_t at, std::uint16_t& tag, std::uint16_t& type, std::uint32_t& count,
                 Placement& value) const {
        if (!read16(at, tag) || !read16(at + 2, type) || !read32(at + 4, count)) return false;
        const std::uint32_t unit = typeSize(type);
        if (unit == 0 || count > _stream.size() / unit || std::uint64_t{count} * unit > UINT32_MAX) return false;
        value.size = count * unit;
        if (value.size <= 4) {
            value.offset = static_cast<std::uint32_t>(at + 8);
            return true;
        }
        return read32(at + 8, value.offset) && value.offset <= _stream.size() &&
               _stream.size() - value.offset >= value.size;
    }

    // The number of entries of the directory at `at`, when all of them lie in the stream.
    bool entryCount(std::uint32_t at, std::uint16_t& count) const {
        return read16(at, count) && _stream.size() - at - 2 >= std::size_t{count} * 12;
    }

    std::optional<Directory> readDirectory(std::uint32_t at, int depth) {
        std::uint16_t count = 0;
        if (depth > kMaxDepth || ++_directories > kMaxDirectories || !entryCount(at, count)) return std::nullopt;
        if (std::find(_visited.begin(), _visited.end(), at) != _visited.end()) return std::nullopt;
        _visited.push_back(at);
        Directory directory;
        for (std::uint16_t i = 0; i < count; ++i) {
            Entry entry;
            Placement value;
            const std::size_t entryAt = std::size_t{at} + 2 + std::size_t{i} * 12;
            if (!valueOf(entryAt, entry.tag, entry.type, entry.count, value)) return std::nullopt;
            if (std::find(kDataPointers.begin(), kDataPointers.end(), entry.tag) != kDataPointers.end()) {
                return std::nullopt;
            }
            if (isPointerTag(entry.tag)) {
                if ((entry.type != 4 && entry.type != 13) || entry.count == 0 || entry.count > kMaxSubDirectories) {
                    return std::nullopt;
                }
                for (std::uint32_t k = 0; k < entry.count; ++k) {
                    std::uint32_t subAt = 0;
                    if (!read32(value.offset + std::size_t{k} * 4, subAt)) return std::nullopt;
                    auto sub = readDirectory(subAt, depth + 1);
                    if (!sub) return std::nullopt;
                    entry.subDirectories.push_back(std::move(*sub));
                }
            } else {
                entry.value.assign(_stream.begin() + value.offset, _stream.begin() + value.offset + value.size);
            }
            directory.entries.push_back(std::move(entry));
        }
        return directory;
    }

    std::optional<std::uint32_t> nextDirectory(std::uint32_t at) const {
        std::uint16_t count = 0;
        std::uint32_t next = 0;
        if (!entryCount(at, count) || !read32(std::size_t{at} + 2 + std::size_t{count} * 12, next)) return std::nullopt;
        return next;
    }

    // The offset of the entry with this tag in the directory at `at`.
    std::optional<std::size_t> findEntry(std::uint32_t at, std::uint16_t wanted) const {
        std::uint16_t count = 0;
        if (!entryCount(at, count)) return std::nullopt;
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::size_t entryAt = std::size_t{at} + 2 + std::size_t{i} * 12;
            std::uint16_t tag = 0;
            if (read16(entryAt, tag) && tag == wanted) return entryAt;
        }
        return std::nullopt;
    }

private:
    std::span<const std::uint8_t> _stream;
    bool _bigEndian = false;
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
    Reader reader(stream);
    std::uint32_t at = 0;
    if (!reader.readHeader(at)) return std::nullopt;
    Tree tree;
    tree.bigEndian = reader.bigEndian();
    while (at != 0) {
        auto directory = reader.readDirectory(at, 0);
        const auto next = reader.nextDirectory(at);
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
    Reader reader(stream);
    std::uint32_t ifd0 = 0, exif = 0;
    if (!reader.readHeader(ifd0)) return std::nullopt;
    const auto pointer = reader.findEntry(ifd0, kExifPointer);
    if (!pointer || !reader.read32(*pointer + 8, exif)) return std::nullopt;
    const auto entry = reader.findEntry(exif, kMakerNoteTag);
    std::uint16_t tag = 0, type = 0;
    std::uint32_t count = 0;
    Placement value;
    if (!entry || !reader.valueOf(*entry, tag, type, count, value)) return std::nullopt;
    return value;
}

} // namespace pellora::tiff
