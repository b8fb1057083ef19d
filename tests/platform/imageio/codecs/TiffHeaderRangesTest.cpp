#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <tiffio.h>

#include "platform/imageio/HeaderRangeReader.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/metadata/Exiv2Support.h"
#include "support/ExifDirectories.h"
#include "support/ImageTestSupport.h"
#include "support/TestProfiles.h"
#include "support/TestSupport.h"

// A TIFF's header and metadata read through byte ranges: what the ranges hold
// gives the same header, properties and preview as the whole file.
namespace pellora::test {
namespace {

// Keeps what is read at its offset in a buffer the size of the file, counts
// it, and gives nothing once more than the allowance has been read.
class CountingRanges final : public HeaderRangeReader {
public:
    explicit CountingRanges(const Bytes& file, std::uint64_t allowance = std::numeric_limits<std::uint64_t>::max())
        : _file(file), _sparse(file.size()), _touched(file.size()), _allowance(allowance) {}

    std::uint64_t fileSize() const override { return _file.size(); }
    std::span<const std::uint8_t> read(std::uint64_t offset, std::size_t length) override {
        if (offset >= _file.size()) return {};
        const auto clipped = static_cast<std::size_t>(std::min<std::uint64_t>(length, _file.size() - offset));
        if (clipped > _allowance - _read) return {};
        _read += clipped;
        std::copy_n(_file.begin() + static_cast<std::ptrdiff_t>(offset), clipped,
                    _sparse.begin() + static_cast<std::ptrdiff_t>(offset));
        std::fill_n(_touched.begin() + static_cast<std::ptrdiff_t>(offset), clipped, true);
        return std::span<const std::uint8_t>(_sparse).subspan(static_cast<std::size_t>(offset), clipped);
    }

    std::uint64_t bytesRead() const { return _read; }
    const Bytes& sparse() const { return _sparse; }
    bool touched(std::uint64_t offset, std::uint64_t length) const {
        const auto end = static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(offset + length, _touched.size()));
        const auto begin = std::min(static_cast<std::ptrdiff_t>(offset), end);
        return std::any_of(_touched.begin() + begin, _touched.begin() + end, [](bool t) { return t; });
    }

private:
    const Bytes& _file;
    Bytes _sparse;
    std::vector<bool> _touched;
    std::uint64_t _allowance;
    std::uint64_t _read = 0;
};

struct Picture {
    const char* name;
    const char* mode;  // libtiff's: "w" little-endian, "wb" big-endian
    std::uint16_t samples;
    std::uint16_t bits;
};

// Writes a width x height picture in strips of 8 rows with libtiff, with an
// ICC profile; then Exiv2 adds Exif, GPS, Interoperability and maker-note
// entries, IPTC, XMP and a JPEG preview in IFD1.
Bytes writeTiff(const TempDir& dir, const Picture& picture) {
    constexpr std::uint32_t kWidth = 96, kHeight = 64;
    const std::string path = dir.file("picture.tiff");
    {
        TIFF* tif = TIFFOpen(path.c_str(), picture.mode);
        EXPECT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, picture.samples);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, picture.bits);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, picture.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
        if (picture.samples == 4) {
            const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        const auto profile = wideGamutProfile();
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(profile.size()), profile.data());
        std::vector<std::uint8_t> row(std::size_t{kWidth} * picture.samples * picture.bits / 8);
        for (std::uint32_t y = 0; y < kHeight; ++y) {
            for (std::size_t i = 0; i < row.size(); ++i) row[i] = std::uint8_t(i * 7 + y * 13);
            TIFFWriteScanline(tif, row.data(), y, 0);
        }
        TIFFClose(tif);
    }
    exiv2::ensureInitialized();
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    const std::array<Exiv2::byte, 40> makerNote{1, 2, 3, 4, 5, 6, 7, 8};
    addEveryDirectory(exif, makerNote);
    const std::string thumbnail = dir.file("thumbnail.jpg");
    EXPECT_TRUE(magick("-size 48x32 gradient:red-blue -quality 80 " + quoted(thumbnail)));
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumbnail);
    image->iptcData()["Iptc.Application2.Caption"] = "A caption";
    image->xmpData()["Xmp.dc.title"] = "lang=x-default A title";
    image->writeMetadata();
    const std::string bytes = readFile(path);
    return Bytes(bytes.begin(), bytes.end());
}

// The bytes of IFD0's strips, as libtiff finds them.
std::vector<std::pair<std::uint64_t, std::uint64_t>> pixelRanges(const std::string& path) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr) return ranges;
    for (std::uint32_t strip = 0; strip < TIFFNumberOfStrips(tif); ++strip) {
        ranges.emplace_back(TIFFGetStrileOffset(tif, strip), TIFFGetStrileByteCount(tif, strip));
    }
    TIFFClose(tif);
    return ranges;
}

TEST(TiffHeaderRanges, holdEverythingTheHeaderMetadataAndPreviewNeedAndNoPixels) {
    const Picture pictures[] = {
        {"little-endian RGB", "w", 3, 8},
        {"big-endian grey 16-bit", "wb", 1, 16},
        {"RGBA", "w", 4, 8},
    };
    TempDir dir;
    const Codec& tiff = registeredCodec("TIFF");
    for (const Picture& picture : pictures) {
        SCOPED_TRACE(picture.name);
        const Bytes file = writeTiff(dir, picture);
        const auto strips = pixelRanges(dir.file("picture.tiff"));
        ASSERT_GE(strips.size(), 8u);
        CountingRanges ranges(file);
        ASSERT_TRUE(tiff.readHeaderRanges(ranges));
        EXPECT_LT(ranges.bytesRead(), file.size());
        for (const auto& [offset, length] : strips) EXPECT_FALSE(ranges.touched(offset, length)) << offset;

        const auto whole = ImageSource::createWithData(file);
        const auto sparse = ImageSource::createWithData(ranges.sparse());
        ASSERT_NE(sparse, nullptr);
        const PlistValue properties = whole->copyPropertiesAtIndex(0);
        ASSERT_TRUE(properties.dictionaryValue().contains("{Exif}"));
        ASSERT_TRUE(properties.dictionaryValue().contains("{GPS}"));
        EXPECT_EQ(sparse->copyPropertiesAtIndex(0), properties);
        EXPECT_EQ(sparse->decodeMemory(), whole->decodeMemory());
        EXPECT_EQ(sparse->rowDecodeMemory(), whole->rowDecodeMemory());
        const auto preview = whole->exifPreview();
        ASSERT_FALSE(preview.empty());
        const auto sparsePreview = sparse->exifPreview();
        EXPECT_TRUE(std::equal(preview.begin(), preview.end(), sparsePreview.begin(), sparsePreview.end()));
    }
}

// Hand-made little-endian files: a header, then directories of entries.
struct TiffBytes {
    Bytes bytes{'I', 'I', 42, 0, 8, 0, 0, 0};
    void u16(std::uint32_t value) {
        bytes.push_back(std::uint8_t(value));
        bytes.push_back(std::uint8_t(value >> 8));
    }
    void u32(std::uint32_t value) { u16(value & 0xffff); u16(value >> 16); }
    void entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        u16(tag); u16(type); u32(count); u32(value);
    }
};

// A 4 x 4 grey image's directory at 8 with one extra entry, and a next link.
Bytes withEntry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value,
                std::uint32_t next = 0, std::uint16_t claimedCount = 0) {
    TiffBytes tiff;
    tiff.u16(claimedCount != 0 ? claimedCount : 5);
    tiff.entry(256, 3, 1, 4);
    tiff.entry(257, 3, 1, 4);
    tiff.entry(273, 4, 1, 200);
    tiff.entry(279, 4, 1, 16);
    tiff.entry(tag, type, count, value);
    tiff.u32(next);
    tiff.bytes.resize(216, 0x80);
    return tiff.bytes;
}

TEST(TiffHeaderRanges, hostileLayoutsEndFalseOrWithinTheFile) {
    const struct {
        const char* name;
        Bytes file;
        bool understood;
    } cases[] = {
        {"a chain that loops back to IFD0", withEntry(305, 2, 4, 0x41414141, 8), true},
        {"an Exif directory that is IFD0", withEntry(0x8769, 4, 1, 8), true},
        {"an Exif directory past the end", withEntry(0x8769, 4, 1, 0x7ffffff0), false},
        {"a next directory past the end", withEntry(305, 2, 4, 0x41414141, 0xfffffff0), false},
        {"65535 entries", withEntry(305, 2, 4, 0, 0, 0xffff), false},
        {"a value beyond the file", withEntry(305, 2, 400, 100), false},
        {"a count that overflows", withEntry(305, 12, 0xffffffff, 8), false},
        {"SubIFDs beyond any bound", withEntry(0x014a, 4, 0x10000, 8), false},
        {"JPEG compression", withEntry(259, 3, 1, 7), false},
        {"BigTIFF", Bytes{'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
        {"a header cut short", Bytes{'I', 'I', 42, 0, 8}, false},
    };
    const Codec& tiff = registeredCodec("TIFF");
    for (const auto& [name, file, understood] : cases) {
        SCOPED_TRACE(name);
        CountingRanges ranges(file);
        EXPECT_EQ(tiff.readHeaderRanges(ranges), understood);
        EXPECT_LE(ranges.bytesRead(), 2 * file.size());
        // Never the strip at 200.
        EXPECT_FALSE(ranges.touched(200, 16));
    }
    // A reader whose allowance runs out ends the walk.
    TempDir dir;
    const Bytes file = writeTiff(dir, {"RGB", "w", 3, 8});
    CountingRanges tight(file, 600);
    EXPECT_FALSE(tiff.readHeaderRanges(tight));
}

} // namespace
} // namespace pellora::test
