// Header reads of HEIF and JPEG 2000 files through byte ranges: fewer bytes
// than the file, the same properties, and hostile box trees refused or read
// within bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <tuple>

#include "platform/imageio/HeaderRangeReader.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/ImageSource.h"
#include "support/ExifTool.h"
#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

using namespace std::string_literals;

// Reads from a file in memory and keeps what it read where the file has it,
// as the header source does; reads fail once more than `allowance` bytes
// were asked for.
class CountingReader final : public HeaderRangeReader {
public:
    explicit CountingReader(std::string_view file, std::uint64_t allowance = std::numeric_limits<std::uint64_t>::max())
        : _file(bytesOf(file)), _sparse(file.size()), _allowance(allowance) {}

    std::uint64_t fileSize() const override { return _file.size(); }
    std::span<const std::uint8_t> read(std::uint64_t offset, std::size_t length) override {
        ++_reads;
        if (offset >= _file.size()) return {};
        const auto clipped = static_cast<std::size_t>(std::min<std::uint64_t>(length, _file.size() - offset));
        _bytesRead += clipped;
        if (_bytesRead > _allowance) return {};
        std::copy_n(_file.begin() + static_cast<std::ptrdiff_t>(offset), clipped,
                    _sparse.begin() + static_cast<std::ptrdiff_t>(offset));
        return _file.subspan(static_cast<std::size_t>(offset), clipped);
    }

    std::uint64_t bytesRead() const { return _bytesRead; }
    std::size_t reads() const { return _reads; }
    // The file's size, with the bytes read at their offsets and zeros elsewhere.
    const Bytes& sparse() const { return _sparse; }

private:
    std::span<const std::uint8_t> _file;
    Bytes _sparse;
    std::uint64_t _allowance;
    std::uint64_t _bytesRead = 0;
    std::size_t _reads = 0;
};

const Codec& heif() { return registeredCodec("HEIF"); }
const Codec& jpeg2000() { return registeredCodec("JPEG 2000"); }

PlistValue propertiesOf(std::span<const std::uint8_t> bytes) {
    const auto source = ImageSource::createWithData(bytes);
    return source ? source->copyPropertiesAtIndex(0) : PlistValue{};
}

std::string be(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += char(value >> (8 * i));
    return out;
}
std::string box(std::string_view type, std::string_view content) {
    return be(8 + content.size(), 4) + std::string(type) + std::string(content);
}
std::string fullBox(std::string_view type, int version, std::string_view content) {
    return box(type, be(std::uint64_t(version), 1) + be(0, 3) + std::string(content));
}

std::uint32_t be32At(const std::string& file, std::size_t at) {
    return std::uint32_t(std::uint8_t(file[at])) << 24 | std::uint32_t(std::uint8_t(file[at + 1])) << 16 |
           std::uint32_t(std::uint8_t(file[at + 2])) << 8 | std::uint8_t(file[at + 3]);
}

// The offset of the first top-level box of a type.
std::size_t topLevelBox(const std::string& file, std::string_view type) {
    for (std::size_t at = 0; at + 8 <= file.size();) {
        if (file.compare(at + 4, 4, type) == 0) return at;
        const std::uint32_t size = be32At(file, at);
        if (size < 8) break;
        at += size;
    }
    ADD_FAILURE() << "no " << type << " box";
    return 0;
}
std::string boxAt(const std::string& file, std::string_view type) {
    const std::size_t at = topLevelBox(file, type);
    return file.substr(at, be32At(file, at));
}
std::string withSize(std::string file, std::string_view type, std::uint32_t size) {
    file.replace(topLevelBox(file, type), 4, be(size, 4));
    return file;
}

// The same file with `meta` moved behind `mdat`: a `free` box of its size
// keeps every item's offset where it was.
std::string metaAtTheEnd(const std::string& file) {
    const std::string meta = boxAt(file, "meta");
    std::string out = file;
    out.replace(topLevelBox(file, "meta"), meta.size(), be(meta.size(), 4) + "free" + std::string(meta.size() - 8, '\0'));
    return out + meta;
}

// exiftool's item locations (version 0, 4-byte base offsets, offsets and
// lengths, one extent an item) with each extent's offset added into the
// item's base offset, where Exiv2 looks for the EXIF item.
std::string withBaseOffsets(std::string file) {
    const std::size_t iloc = file.find("iloc");
    if (iloc == std::string::npos || file.compare(iloc + 4, 6, "\0\0\0\0\x44\x40"s) != 0) {
        ADD_FAILURE() << "unexpected item location box";
        return file;
    }
    const auto field = [&](std::size_t at) { return be32At(file, at); };
    const std::uint32_t count = field(iloc + 8) & 0xffff;  // after the two bytes of field sizes
    for (std::size_t i = 0, entry = iloc + 12; i < count; ++i, entry += 18) {
        file.replace(entry + 4, 4, be(field(entry + 4) + field(entry + 10), 4));
        file.replace(entry + 10, 4, be(0, 4));
    }
    return file;
}

// The codestream of a JP2 file on its own.
std::string codestreamOf(const std::string& jp2) {
    const std::size_t at = topLevelBox(jp2, "jp2c");
    return jp2.substr(at + 8, jp2.size() - at - 8);
}

struct Files {
    std::string heif, heifWithExtentOffsets, jp2, j2k;
};

// Made once: the encoders and exiftool take a while.
const Files& files() {
    static const Files made = [] {
        Files f;
        TempDir dir;
        // Noise, so that the coded image outweighs the boxes; libheif writes
        // it, exiftool adds EXIF and XMP items with their data in mdat.
        const std::string heif = dir.file("with exif.heic");
        if (magick("-seed 7 -size 256x192 xc: +noise Random -quality 60 " + quoted(heif)) &&
            exifToolWrite(heif, "-Orientation#=6 -Make=TestCam -XMP-dc:Title=Ranges")) {
            f.heifWithExtentOffsets = readFile(heif);
            f.heif = withBaseOffsets(f.heifWithExtentOffsets);
        }
        const TestBitmap bitmap = makeTestBitmap(256, 192, false);
        Bytes jp2;
        EncodeOptions options;
        options.quality = 0.9f;
        if (jpeg2000().encode(bitmap.view(), options, jp2)) {
            const std::string path = dir.file("with exif.jp2");
            writeFile(path, std::string(jp2.begin(), jp2.end()));
            if (exifToolWrite(path, "-Orientation#=6 -Make=TestCam -XMP-dc:Title=Ranges")) f.jp2 = readFile(path);
        }
        f.j2k = f.jp2.empty() ? std::string() : codestreamOf(f.jp2);
        return f;
    }();
    return made;
}

struct ReadCase {
    const char* name;
    std::string file;
    const Codec* codec;
    // False where Exiv2 misses the EXIF of the whole file too: a box of size 0
    // ends its walk, and it takes an item's base offset for the item's offset.
    bool mustCarryExif;
};

TEST(BoxHeaderRanges, readLessThanTheFileAndGiveTheSameProperties) {
    ASSERT_FALSE(files().heif.empty());
    ASSERT_FALSE(files().jp2.empty());
    const ReadCase cases[] = {
        {"HEIF", files().heif, &heif(), true},
        {"HEIF with items at extent offsets", files().heifWithExtentOffsets, &heif(), false},
        {"HEIF with meta after mdat", metaAtTheEnd(files().heif), &heif(), true},
        {"HEIF with mdat running to the end (size 0)", withSize(files().heif, "mdat", 0), &heif(), false},
        {"JP2 with EXIF and XMP", files().jp2, &jpeg2000(), true},
        {"JP2 with jp2c running to the end (size 0)", withSize(files().jp2, "jp2c", 0), &jpeg2000(), false},
        {"bare codestream", files().j2k, &jpeg2000(), false},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        CountingReader reader(c.file);
        ASSERT_TRUE(c.codec->readHeaderRanges(reader));
        EXPECT_LT(reader.bytesRead(), c.file.size() / 2);
        const PlistValue whole = propertiesOf(bytesOf(c.file));
        ASSERT_TRUE(whole.dictionaryValue().contains(kImagePropertyPixelWidth));
        if (c.mustCarryExif) {
            EXPECT_TRUE(whole.dictionaryValue().contains(kImagePropertyTIFFDictionary));
        }
        EXPECT_EQ(propertiesOf(reader.sparse()), whole);
        // OpenJPEG's and libheif's own header reads see what they need too.
        EXPECT_EQ(c.codec->decodeMemory(reader.sparse(), {}), c.codec->decodeMemory(bytesOf(c.file), {}));
    }
}

TEST(BoxHeaderRanges, failWhenTheReaderRunsOut) {
    for (const std::string* file : {&files().heif, &files().jp2, &files().j2k}) {
        CountingReader reader(*file, 40);
        EXPECT_FALSE((file == &files().heif ? heif() : jpeg2000()).readHeaderRanges(reader));
    }
}

// A HEIF of boxes alone: ftyp, then meta with the given item information and
// location boxes (and extra children), then an mdat of `data`.
std::string syntheticHeif(const std::string& items, const std::string& iloc, const std::string& data,
                          const std::string& extra = "") {
    const std::string meta = fullBox("meta", 0, fullBox("hdlr", 0, be(0, 4) + "pict" + std::string(13, '\0')) +
                                                    fullBox("pitm", 0, be(1, 2)) + items + iloc + extra);
    return box("ftyp", "heic"s + be(0, 4) + "mif1heic") + meta + box("mdat", data);
}
std::string infe(int id, std::string_view type) { return fullBox("infe", 2, be(id, 2) + be(0, 2) + std::string(type) + '\0'); }
std::string iinf(const std::string& entries, int count) { return fullBox("iinf", 0, be(count, 2) + entries); }
// An iloc of version 1 with 4-byte offsets and lengths and one extent an item.
std::string iloc(const std::vector<std::tuple<int, int, std::uint32_t, std::uint32_t>>& items) {
    std::string content = "\x44\x00"s + be(items.size(), 2);
    for (const auto& [id, method, offset, length] : items) {
        content += be(id, 2) + be(method, 2) + be(0, 2) + be(1, 2) + be(offset, 4) + be(length, 4);
    }
    return fullBox("iloc", 1, content);
}

// A piece repeated count times.
std::string repeated(const std::string& piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

// Empty boxes of a type, each inside the one before, depth deep.
std::string nested(std::string_view type, int depth) {
    std::string tree;
    for (int i = depth; i > 0; --i) tree += be(std::uint64_t(8 * i), 4) + std::string(type);
    return tree;
}

struct HostileCase {
    const char* name;
    std::string file;
    const Codec* codec;
    bool accepted;  // the ranges are read rather than the whole file
};

TEST(BoxHeaderRanges, hostileBoxTreesAreRefusedOrReadWithinBounds) {
    const std::string& realHeif = files().heif;
    const std::string& jp2 = files().jp2;
    const std::string items = iinf(infe(1, "hvc1") + infe(2, "Exif"), 2);
    const std::string data(4000, 'x');
    // Every item with 65535 extents of no bytes.
    const std::string zeroSizedIloc =
        fullBox("iloc", 1, "\x00\x00"s + be(0xffff, 2) + repeated(be(2, 2) + be(0, 2) + be(0, 2) + be(0xffff, 2), 0xffff));
    const std::string codestream = files().j2k;
    const std::string signature = boxAt(jp2, "jP  ") + boxAt(jp2, "ftyp");
    const HostileCase cases[] = {
        {"HEIF mdat size past the end", withSize(realHeif, "mdat", 0x7fffffff), &heif(), false},
        {"HEIF meta with a 64-bit size below its header", [&] {
             std::string f = realHeif;
             const std::size_t meta = topLevelBox(f, "meta");
             f.replace(meta, 4, be(1, 4));
             return f.insert(meta + 8, be(8, 8));
         }(), &heif(), false},
        {"HEIF meta size 1 without room for the 64-bit size", box("ftyp", "heic"s + be(0, 4)) + be(1, 4) + "meta",
         &heif(), false},
        {"HEIF first box not ftyp", box("free", "") + realHeif, &heif(), false},
        {"HEIF image sequence", box("ftyp", "msf1"s + be(0, 4)) + box("moov", "") + box("mdat", data), &heif(),
         false},
        {"HEIF meta holding boxes nested 20000 deep", syntheticHeif(items, "", data, nested("abcd", 20000)), &heif(), true},
        {"HEIF iloc claiming 2^32-1 items", syntheticHeif(items, fullBox("iloc", 2, "\x44\x00"s + be(0xffffffff, 4)), data),
         &heif(), false},
        {"HEIF iloc of 65535 items of 65535 empty extents", syntheticHeif(items, zeroSizedIloc, data), &heif(),
         false},
        {"HEIF Exif extent past the end", syntheticHeif(items, iloc({{2, 0, 0xffffff00, 100}}), data), &heif(),
         true},
        {"HEIF Exif extent longer than the file", syntheticHeif(items, iloc({{2, 0, 200, 0xffffffff}}), data), &heif(),
         true},
        {"HEIF Exif built from other items", syntheticHeif(items, iloc({{2, 2, 0, 10}}), data), &heif(), false},
        {"HEIF grids that are each other's tiles",
         syntheticHeif(iinf(infe(1, "grid") + infe(2, "grid"), 2), iloc({{1, 1, 0, 8}, {2, 1, 0, 8}}), data,
                       fullBox("iref", 0, box("dimg", be(1, 2) + be(1, 2) + be(2, 2)) +
                                              box("dimg", be(2, 2) + be(1, 2) + be(1, 2))) +
                           box("idat", be(0, 8))),
         &heif(), true},
        {"JP2 header box size past the end", withSize(jp2, "jp2h", 0x7fffffff), &jpeg2000(), false},
        {"JP2 box of size 1 with a 64-bit size below its header", signature + be(1, 4) + "xml " + be(4, 8) + box("jp2c", codestream),
         &jpeg2000(), false},
        {"JP2 header box nested 20000 deep", signature + box("jp2h", nested("res ", 20000)) + box("jp2c", codestream),
         &jpeg2000(), true},
        {"JP2 of 2000 empty boxes", signature + repeated(box("free", ""), 2000) + box("jp2c", codestream), &jpeg2000(),
         false},
        {"JP2 without the signature first", boxAt(jp2, "ftyp") + boxAt(jp2, "jP  ") + box("jp2c", codestream), &jpeg2000(),
         false},
        {"codestream whose segment runs past the end", codestream.substr(0, 4) + be(0xffff, 2) + codestream.substr(6, 40),
         &jpeg2000(), false},
        {"codestream without a tile-part, with 3000 empty comments",
         codestream.substr(0, 4) + be(42, 2) + codestream.substr(6, 40) + repeated(be(0xff64, 2) + be(2, 2), 3000),
         &jpeg2000(), false},
        {"codestream cut inside its main header", codestream.substr(0, 30), &jpeg2000(), false},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        Deadline deadline(60);
        CountingReader reader(c.file);
        const bool read = c.codec->readHeaderRanges(reader);
        EXPECT_EQ(read, c.accepted);
        EXPECT_LE(reader.bytesRead(), 2 * c.file.size() + 64);
        EXPECT_LE(reader.reads(), 4200u);
        // Ranges that were accepted must read like the whole file.
        if (read) {
            EXPECT_EQ(propertiesOf(reader.sparse()), propertiesOf(bytesOf(c.file)));
        }
    }
}

} // namespace
} // namespace pellora::test
