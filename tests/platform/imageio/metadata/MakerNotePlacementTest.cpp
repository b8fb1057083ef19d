#include <gtest/gtest.h>

#include <cstring>

#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/metadata/ExifBlockReplacement.h"
#include "platform/imageio/metadata/Exiv2Support.h"
#include "platform/imageio/metadata/MakerNotes.h"
#include "platform/imageio/metadata/MetadataReader.h"
#include "platform/imageio/metadata/MetadataWriter.h"
#include "platform/imageio/metadata/TiffStructure.h"
#include "platform/imageio/TiffBytes.h"
#include "support/ExifDirectories.h"
#include "support/ExifTool.h"
#include "support/TestSupport.h"

// The EXIF block laid out anew around a maker note at a fixed offset, and the
// hostile streams that the layout code must refuse without reading out of bounds.
namespace pellora {
namespace {

using Bytes = std::vector<std::uint8_t>;

// IFD0 at 8 with one entry, then its next-directory link.
Bytes oneEntry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value,
               std::uint32_t next = 0) {
    test::TiffBytes tiff;
    tiff.u16(1);
    tiff.entry(tag, type, count, value);
    tiff.u32(next);
    return tiff.bytes;
}

// IFD0 at 8 pointing at an Exif directory at 26 that holds a maker-note entry.
Bytes withMakerNoteEntry(std::uint32_t count, std::uint32_t offset) {
    test::TiffBytes tiff;
    tiff.u16(1);
    tiff.entry(0x8769, 4, 1, 26);
    tiff.u32(0);
    tiff.u16(1);
    tiff.entry(0x927c, 7, count, offset);
    tiff.u32(0);
    tiff.bytes.resize(tiff.bytes.size() + 16, 0xAB);
    return tiff.bytes;
}

TEST(TiffStructure, refusesMalformedStreamsWithoutReadingPastThem) {
    const std::vector<std::pair<const char*, Bytes>> streams{
        {"empty", {}},
        {"header cut short", {'I', 'I', 42, 0, 8}},
        {"not TIFF", {'I', 'X', 42, 0, 8, 0, 0, 0}},
        {"first directory past the end", {'M', 'M', 0, 42, 0xff, 0xff, 0xff, 0xf0}},
        {"more entries than bytes", [] { test::TiffBytes t; t.u16(400); t.u32(0); return t.bytes; }()},
        {"value past the end", oneEntry(0x010f, 2, 64, 4000)},
        {"count that overflows", oneEntry(0x010f, 12, 0xffffffff, 8)},
        {"unknown type", oneEntry(0x010f, 99, 1, 0)},
        {"pointer to pixel data", oneEntry(0x0111, 4, 1, 8)},
        {"directory chain that loops", oneEntry(0x010f, 2, 2, 0x41, 8)},
        {"Exif directory that is IFD0", oneEntry(0x8769, 4, 1, 8)},
        {"Exif pointer past the end", oneEntry(0x8769, 4, 1, 0x7ffffff0)},
        {"maker note past the end", withMakerNoteEntry(100, 44)},
        {"maker note offset that wraps", withMakerNoteEntry(16, 0xfffffff8)},
    };
    for (const auto& [name, stream] : streams) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(tiff::readTree(stream).has_value());
        EXPECT_FALSE(tiff::makerNotePlacement(stream).has_value());
    }
    // The same maker-note entry inside the stream is found.
    const auto found = tiff::makerNotePlacement(withMakerNoteEntry(16, 44));
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->offset, 44u);
    EXPECT_EQ(found->size, 16u);
}

// What Exiv2 reads from a block, as key = value lines, aside from the maker
// note and the directory pointers, which a new layout changes.
std::vector<std::string> datumsOf(const Bytes& block) {
    Exiv2::ExifData exif;
    Exiv2::ExifParser::decode(exif, block.data(), static_cast<std::uint32_t>(block.size()));
    std::vector<std::string> lines;
    for (const Exiv2::Exifdatum& datum : exif) {
        const std::string key = datum.key();
        if (key == "Exif.Photo.MakerNote" || key == "Exif.Image.ExifTag" || key == "Exif.Image.GPSTag" ||
            key == "Exif.Photo.InteroperabilityTag") {
            continue;
        }
        lines.push_back(key + " = " + datum.toString());
    }
    return lines;
}

// An EXIF block as Exiv2 encodes it, with IFD0, Exif, GPS and Interop
// directories, values of every size and a stand-in maker note.
Bytes exiv2Block(Exiv2::ByteOrder order) {
    exiv2::ensureInitialized();
    Exiv2::ExifData exif;
    const std::array<Exiv2::byte, 4> standIn{};
    test::addEveryDirectory(exif, standIn);
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, order, exif);
    return Bytes(blob.begin(), blob.end());
}

// Placed, it is found in a file behind bytes that look like TIFF headers but
// lead nowhere, only where its entry holds the same bytes.
TEST(MakerNotePlacement, putsTheMakerNoteAtItsOffsetAndEveryOtherValueAroundIt) {
    Bytes makerNote(300);
    for (std::size_t i = 0; i < makerNote.size(); ++i) makerNote[i] = std::uint8_t(i * 7 + 1);
    Bytes other = makerNote;
    other[3] ^= 1;
    const Bytes decoys{'M', 'M', 0, 42, 0, 0, 0, 8, 'I', 'I', 42, 0, 1, 2};
    for (const Exiv2::ByteOrder order : {Exiv2::littleEndian, Exiv2::bigEndian}) {
        const Bytes block = exiv2Block(order);
        // Before, amid and after where Exiv2 puts the directories, odd or even.
        for (const std::uint32_t offset : {8u, 31u, 100u, 150u, 4000u}) {
            SCOPED_TRACE(offset);
            const auto placed = placeMakerNote(block, makerNote, offset, kMaxJpegExifBlock);
            ASSERT_TRUE(placed.has_value());
            const auto found = tiff::makerNotePlacement(*placed);
            ASSERT_TRUE(found.has_value());
            EXPECT_EQ(found->offset, offset);
            ASSERT_EQ(found->size, makerNote.size());
            EXPECT_TRUE(std::equal(makerNote.begin(), makerNote.end(), placed->begin() + offset));
            EXPECT_EQ(datumsOf(*placed), datumsOf(block));
            Bytes file = decoys;
            file.insert(file.end(), placed->begin(), placed->end());
            EXPECT_EQ(makerNoteOffsetInFile(file, makerNote), std::optional<std::uint32_t>(offset));
            EXPECT_FALSE(makerNoteOffsetInFile(file, other).has_value());
        }
        // Where the header is, or beyond what the output holds, it cannot go.
        EXPECT_FALSE(placeMakerNote(block, makerNote, 4, kMaxJpegExifBlock).has_value());
        EXPECT_FALSE(placeMakerNote(block, makerNote, kMaxJpegExifBlock - 100, kMaxJpegExifBlock).has_value());
    }
}

TEST(ExifBlockReplacement, refusesFilesWithoutAWellFormedPlaceForTheBlock) {
    const Bytes block = exiv2Block(Exiv2::littleEndian);
    const Bytes exifSegment{0xff, 0xe1, 0, 10, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I'};
    const std::vector<std::pair<const char*, Bytes>> jpegs{
        {"not a JPEG", {0x89, 'P', 'N', 'G'}},
        {"no EXIF segment before the scan", {0xff, 0xd8, 0xff, 0xe0, 0, 4, 'J', 'F', 0xff, 0xda, 0, 2}},
        {"segment longer than the file", {0xff, 0xd8, 0xff, 0xe1, 0xff, 0xf0, 'E', 'x', 'i', 'f', 0, 0}},
        {"bytes that are no marker", {0xff, 0xd8, 0x12, 0x34, 0, 8}},
    };
    for (const auto& [name, original] : jpegs) {
        SCOPED_TRACE(name);
        Bytes file = original;
        EXPECT_FALSE(replaceJpegExifBlock(file, block));
        EXPECT_EQ(file, original);
    }
    Bytes jpeg{0xff, 0xd8};
    jpeg.insert(jpeg.end(), exifSegment.begin(), exifSegment.end());
    jpeg.insert(jpeg.end(), {0xff, 0xd9});
    EXPECT_FALSE(replaceJpegExifBlock(jpeg, Bytes(kMaxJpegExifBlock + 1)));
    ASSERT_TRUE(replaceJpegExifBlock(jpeg, block));
    EXPECT_EQ(jpeg.size(), 2 + 10 + block.size() + 2);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), jpeg.begin() + 12));

    const std::vector<std::pair<const char*, Bytes>> jp2s{
        {"box cut short", {0, 0, 0, 40, 'u', 'u', 'i', 'd', 'J', 'p', 'g'}},
        {"box shorter than its header", {0, 0, 0, 3, 'j', 'P', ' ', ' '}},
        {"huge extended length", {0, 0, 0, 1, 'u', 'u', 'i', 'd', 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}},
        {"no EXIF box", {0, 0, 0, 8, 'j', 'p', '2', 'c', 0, 0, 0, 0, 'f', 'r', 'e', 'e'}},
    };
    for (const auto& [name, original] : jp2s) {
        SCOPED_TRACE(name);
        Bytes file = original;
        EXPECT_FALSE(replaceJp2ExifBlock(file, block));
        EXPECT_EQ(file, original);
    }
}

// A camera's maker note whose offset cannot be kept: Exiv2 rewrites it when it
// decodes it, any other is left out with a log line, and the rest is written.
TEST(MakerNotePlacement, aMakerNoteThatCannotBePlacedIsRewrittenByExiv2OrLeftOut) {
    test::TempDir dir;
    for (const auto& [name, decodedByExiv2] : {std::pair{"Canon", true}, {"Sanyo", false}}) {
        SCOPED_TRACE(name);
        const std::string bytes = test::readFile(std::string(PELLORA_TEST_DATA_DIR) + "/camera/" + name + ".jpg");
        PlistDictionary properties;
        ASSERT_TRUE(addMetadataProperties(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                                          name, properties));
        PlistValue blocks = properties.get(kPelloraPropertySourceMetadata);
        ASSERT_TRUE(blocks.dictionaryValue().contains(kMakerNoteOffsetBlock));
        blocks.mutableDictionary().set(kMakerNoteOffsetBlock, 2);  // inside the TIFF header
        properties.set(kPelloraPropertySourceMetadata, blocks);

        test::LogCapture log;
        const auto metadata = prepareOutputMetadata(properties);
        ASSERT_TRUE(metadata.has_value());
        EXPECT_FALSE(metadata->exifLayoutFixed);
        EXPECT_EQ(log.contains("Leaving out a maker note"), !decodedByExiv2);

        const std::string output = dir.file(std::string(name) + ".jpg");
        ASSERT_EQ(test::runCommand("convert -size 16x16 xc:gray '" + output + "'"), 0);
        const std::string plain = test::readFile(output);
        Bytes encoded(plain.begin(), plain.end());
        ASSERT_TRUE(embedMetadata(encoded, *metadata));
        test::writeFile(output, std::string(encoded.begin(), encoded.end()));
        const auto makerNoteTags = test::exifToolTagsOfEach({output}, "-MakerNotes:all").front();
        EXPECT_EQ(makerNoteTags.empty(), !decodedByExiv2);
        EXPECT_EQ(test::exifToolTags(output).count("IFD0:Make"), 1u);
    }
}

} // namespace
} // namespace pellora
