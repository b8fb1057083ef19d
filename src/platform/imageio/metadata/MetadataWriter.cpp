#include "platform/imageio/metadata/MetadataWriter.h"

#include <array>
#include <cmath>
#include <fmt/format.h>
#include <string_view>

#include "platform/foundation/Log.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/metadata/ExifBlockReplacement.h"
#include "platform/imageio/metadata/Exiv2Support.h"
#include "platform/imageio/metadata/MakerNotes.h"

namespace pellora {
namespace {

// IFD0 tags that describe how the source stores its pixels or their colour:
// wrong for any output, whose encoder writes its own.
constexpr std::array<std::string_view, 27> kStructuralTags{
    "ImageWidth",          "ImageLength",         "BitsPerSample",     "Compression",
    "PhotometricInterpretation", "StripOffsets",  "RowsPerStrip",      "StripByteCounts",
    "PlanarConfiguration", "SamplesPerPixel",     "Predictor",         "ExtraSamples",
    "SampleFormat",        "TileWidth",           "TileLength",        "TileOffsets",
    "TileByteCounts",      "JPEGInterchangeFormat", "JPEGInterchangeFormatLength", "YCbCrCoefficients",
    "YCbCrSubSampling",    "YCbCrPositioning",    "ReferenceBlackWhite", "WhitePoint",
    "PrimaryChromaticities", "TransferFunction",  "InterColorProfile",
};

constexpr std::array<std::string_view, 14> kStaleXmpKeys{
    "Xmp.tiff.ImageWidth",   "Xmp.tiff.ImageLength",     "Xmp.tiff.XResolution",
    "Xmp.tiff.YResolution",  "Xmp.tiff.ResolutionUnit",  "Xmp.tiff.NativeDigest",
    "Xmp.exif.NativeDigest", "Xmp.xmp.Thumbnails",       "Xmp.tiff.BitsPerSample",
    "Xmp.tiff.Compression",  "Xmp.tiff.PhotometricInterpretation", "Xmp.tiff.SamplesPerPixel",
    "Xmp.tiff.PlanarConfiguration", "Xmp.tiff.YCbCrSubSampling",
};

bool isStructural(const Exiv2::Exifdatum& datum) {
    if (datum.groupName() != "Image") return false;
    for (const std::string_view tag : kStructuralTags) {
        if (datum.tagName() == tag) return true;
    }
    return false;
}

// The source's EXIF data and its byte order.
Exiv2::ByteOrder decodeExif(const PlistDictionary& blocks, Exiv2::ExifData& exif) {
    const PlistData& blob = blocks.get("Exif").dataValue();
    if (blob.empty()) return Exiv2::littleEndian;
    const Exiv2::ByteOrder order =
        Exiv2::ExifParser::decode(exif, blob.data(), static_cast<std::uint32_t>(blob.size()));
    return order == Exiv2::invalidByteOrder ? Exiv2::littleEndian : order;
}

struct RawMakerNote {
    const PlistData& bytes;
    std::uint32_t offset;  // from the TIFF header, as in the source
};

// The source's maker note as it held it, when its place there is known.
std::optional<RawMakerNote> rawMakerNote(const PlistDictionary& blocks) {
    const PlistData& bytes = blocks.get(kMakerNoteBlock).dataValue();
    const PlistValue& offset = blocks.get(kMakerNoteOffsetBlock);
    if (bytes.empty() || offset.isNull() || offset.integerValue() < 0 ||
        offset.integerValue() > std::int64_t{kMaxJpegExifBlock}) {
        return std::nullopt;
    }
    return RawMakerNote{bytes, static_cast<std::uint32_t>(offset.integerValue())};
}

PlistData encodedExif(const Exiv2::ExifData& exif, Exiv2::ByteOrder order) {
    if (exif.empty()) return {};
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, order, exif);
    return PlistData(blob.begin(), blob.end());
}

// The number of datums Exiv2 reads from a block, not counting the maker
// note's; -1 when Exiv2 fails on it.
long datumsOutsideMakerNote(const PlistData& block) {
    try {
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, block.data(), static_cast<std::uint32_t>(block.size()));
        eraseMakerNote(exif);
        return exif.count();
    } catch (const std::exception&) {
        return -1;
    }
}

// The EXIF block. The source's maker note goes back at its source offset,
// byte for byte; where it cannot, a maker note that Exiv2 decoded is rewritten
// by Exiv2, any other left out. Files whose layout is their encoder's (TIFF)
// get the block that Exiv2 lays out.
void encodeExif(Exiv2::ExifData& exif, Exiv2::ByteOrder order, const PlistDictionary& blocks,
                EmbeddableMetadata& result) {
    const bool hasMakerNote = exif.findKey(Exiv2::ExifKey("Exif.Photo.MakerNote")) != exif.end();
    const bool decoded = makerNoteDecoded(exif);
    const auto raw = rawMakerNote(blocks);
    if (raw && hasMakerNote) {
        Exiv2::ExifData fixed = exif;
        eraseMakerNote(fixed);
        // A short stand-in reserves the entry; the new layout gives it the real bytes.
        const std::array<Exiv2::byte, 4> standIn{};
        fixed["Exif.Photo.MakerNote"] = Exiv2::DataValue(standIn.data(), 4, Exiv2::invalidByteOrder, Exiv2::undefined);
        const PlistData unplaced = encodedExif(fixed, order);
        auto placed = placeMakerNote(unplaced, raw->bytes, raw->offset, kMaxJpegExifBlock);
        // The new layout must read back as Exiv2's own did.
        const long expected = datumsOutsideMakerNote(unplaced);
        if (placed && expected >= 0 && datumsOutsideMakerNote(*placed) == expected) {
            result.exif = std::move(*placed);
            result.exifLayoutFixed = true;
            if (!decoded) eraseMakerNote(exif);
            result.movableExif = encodedExif(exif, order);
            return;
        }
    }
    if (hasMakerNote && !decoded) {
        Log::line(raw ? fmt::format("Leaving out a maker note: it cannot go back at offset {}", raw->offset)
                      : std::string("Leaving out a maker note: its place in the source is unknown"));
        eraseMakerNote(exif);
    }
    result.exif = encodedExif(exif, order);
}

Exiv2::IptcData decodeIptc(const PlistDictionary& blocks) {
    Exiv2::IptcData iptc;
    const PlistData& blob = blocks.get("IPTC").dataValue();
    if (!blob.empty()) Exiv2::IptcParser::decode(iptc, blob.data(), static_cast<std::uint32_t>(blob.size()));
    return iptc;
}

// Brings the EXIF data in line with the {TIFF}, {Exif} and {GPS} families.
void applyExifFamilies(Exiv2::ExifData& exif, const PlistDictionary& properties) {
    const PlistDictionary asRead = exiv2::exifFamilies(exif);
    for (auto datum = exif.begin(); datum != exif.end();) {
        const auto familyKey = exiv2::familyKeyOfExif(*datum);
        if (!familyKey) {
            ++datum;
            continue;
        }
        const PlistValue* wanted = properties.get(familyKey->family).dictionaryValue().find(familyKey->key);
        if (wanted == nullptr) {
            datum = exif.erase(datum);
            continue;
        }
        if (!(*wanted == asRead.get(familyKey->family).dictionaryValue().get(familyKey->key))) {
            exiv2::assignPlistValue(*datum, *wanted);
        }
        ++datum;
    }
    for (const char* family : {kImagePropertyTIFFDictionary, kImagePropertyExifDictionary,
                               kImagePropertyGPSDictionary}) {
        for (const auto& [key, value] : properties.get(family).dictionaryValue()) {
            if (asRead.get(family).dictionaryValue().contains(key)) continue;
            const auto exifKey = exiv2::exifKeyOfFamilyKey(family, key);
            if (!exifKey) continue;  // a key Exiv2 does not know cannot be written
            Exiv2::Exifdatum& added = exif[*exifKey];
            exiv2::assignPlistValue(added, value);
        }
    }
}

void dropWhatDescribesTheSource(Exiv2::ExifData& exif) {
    for (auto datum = exif.begin(); datum != exif.end();) {
        datum = isStructural(*datum) ? exif.erase(datum) : std::next(datum);
    }
    Exiv2::ExifThumb(exif).erase();
    // Outputs are sRGB.
    if (auto colorSpace = exif.findKey(Exiv2::ExifKey("Exif.Photo.ColorSpace")); colorSpace != exif.end()) {
        colorSpace->setValue("1");
    }
    if (auto index = exif.findKey(Exiv2::ExifKey("Exif.Iop.InteroperabilityIndex")); index != exif.end()) {
        index->setValue("R98");
    }
}

void applyResolution(Exiv2::ExifData& exif, const PlistDictionary& properties) {
    const PlistValue& dpiWidth = properties.get(kImagePropertyDPIWidth);
    const PlistValue& dpiHeight = properties.get(kImagePropertyDPIHeight);
    const auto update = [&](const char* key, const PlistValue& dpi) {
        auto datum = exif.findKey(Exiv2::ExifKey(key));
        if (datum == exif.end() || dpi.isNull()) return;
        datum->setValue(fmt::format("{}/1", static_cast<long>(std::lround(dpi.doubleValue()))));
        exif["Exif.Image.ResolutionUnit"] = std::uint16_t{2};
    };
    update("Exif.Image.XResolution", dpiWidth);
    update("Exif.Image.YResolution", dpiHeight);
}

void alignXmpWithExif(Exiv2::XmpData& xmp, const Exiv2::ExifData& exif) {
    for (const std::string_view key : kStaleXmpKeys) {
        auto datum = xmp.findKey(Exiv2::XmpKey(std::string(key)));
        if (datum != xmp.end()) xmp.erase(datum);
    }
    const auto follow = [&](const char* xmpKey, const char* exifKey) {
        auto datum = xmp.findKey(Exiv2::XmpKey(xmpKey));
        if (datum == xmp.end()) return;
        const auto source = exif.findKey(Exiv2::ExifKey(exifKey));
        if (source == exif.end()) {
            xmp.erase(datum);
        } else {
            datum->setValue(std::to_string(source->toLong()));
        }
    };
    follow("Xmp.tiff.Orientation", "Exif.Image.Orientation");
    follow("Xmp.exif.PixelXDimension", "Exif.Photo.PixelXDimension");
    follow("Xmp.exif.PixelYDimension", "Exif.Photo.PixelYDimension");
}

// Rebuilds the IPTC datasets only when the {IPTC} family was changed.
void applyIptcFamily(Exiv2::IptcData& iptc, const PlistDictionary& properties) {
    const PlistValue& wanted = properties.get(kImagePropertyIPTCDictionary);
    if (wanted == exiv2::iptcFamily(iptc)) return;
    Exiv2::IptcData rebuilt;
    for (const Exiv2::Iptcdatum& datum : iptc) {
        if (datum.recordName() != "Application2") rebuilt.add(datum);
    }
    for (const auto& [key, value] : wanted.dictionaryValue()) {
        try {
            const Exiv2::IptcKey iptcKey("Iptc.Application2." + exiv2::iptcDatasetName(key));
            const PlistArray values = value.isArray() ? value.arrayValue() : PlistArray{value};
            for (const PlistValue& element : values) {
                Exiv2::Iptcdatum datum(iptcKey);
                datum.setValue(element.description());
                rebuilt.add(datum);
            }
        } catch (const std::exception&) {
            // A key that names no IPTC dataset cannot be written.
        }
    }
    iptc = rebuilt;
}

} // namespace

std::optional<EmbeddableMetadata> prepareOutputMetadata(const PlistDictionary& properties) {
    exiv2::ensureInitialized();
    try {
        const PlistDictionary& blocks = properties.get(kPelloraPropertySourceMetadata).dictionaryValue();
        Exiv2::ExifData exif;
        const Exiv2::ByteOrder order = decodeExif(blocks, exif);
        applyExifFamilies(exif, properties);
        dropWhatDescribesTheSource(exif);
        applyResolution(exif, properties);

        Exiv2::IptcData iptc = decodeIptc(blocks);
        applyIptcFamily(iptc, properties);

        Exiv2::XmpData xmp;
        if (const std::string& packet = blocks.get("XMP").stringValue(); !packet.empty()) {
            if (Exiv2::XmpParser::decode(xmp, packet) != 0) throw Exiv2::Error(Exiv2::kerErrorMessage, "bad XMP");
        }
        alignXmpWithExif(xmp, exif);

        EmbeddableMetadata result;
        encodeExif(exif, order, blocks, result);
        if (!iptc.empty()) {
            const Exiv2::DataBuf buffer = Exiv2::IptcParser::encode(iptc);
            result.iptc.assign(buffer.pData_, buffer.pData_ + buffer.size_);
        }
        if (!xmp.empty() && Exiv2::XmpParser::encode(result.xmp, xmp, Exiv2::XmpParser::useCompactFormat) != 0) {
            throw Exiv2::Error(Exiv2::kerErrorMessage, "cannot encode XMP");
        }
        return result;
    } catch (const std::exception& error) {
        Log::line(fmt::format("Cannot prepare the output metadata: {}", error.what()));
    }
    return std::nullopt;
}

bool embedMetadata(std::vector<std::uint8_t>& encoded, const EmbeddableMetadata& metadata) {
    exiv2::ensureInitialized();
    try {
        auto image = Exiv2::ImageFactory::open(encoded.data(), static_cast<long>(encoded.size()));
        if (image.get() == nullptr) throw Exiv2::Error(Exiv2::kerFileContainsUnknownImageType);
        const int type = Exiv2::ImageFactory::getType(encoded.data(), static_cast<long>(encoded.size()));
        // A fixed-layout block goes in whole after Exiv2's pass, except into a
        // TIFF file, whose layout is the encoder's.
        const bool blockGoesInWhole = metadata.exifLayoutFixed && type != Exiv2::ImageType::tiff;
        const PlistData& block =
            metadata.exifLayoutFixed && type == Exiv2::ImageType::tiff ? metadata.movableExif : metadata.exif;
        Exiv2::ExifData exif;
        if (!block.empty()) Exiv2::ExifParser::decode(exif, block.data(), static_cast<std::uint32_t>(block.size()));
        if (blockGoesInWhole) eraseMakerNote(exif);
        if (metadata.exifLayoutFixed && type == Exiv2::ImageType::tiff &&
            exif.findKey(Exiv2::ExifKey("Exif.Photo.MakerNote")) == exif.end()) {
            Log::line("Leaving out a maker note: a TIFF file cannot keep it at its place in the source");
        }
        Exiv2::IptcData iptc;
        if (!metadata.iptc.empty()) {
            Exiv2::IptcParser::decode(iptc, metadata.iptc.data(), static_cast<std::uint32_t>(metadata.iptc.size()));
        }
        image->readMetadata();  // keeps what the encoder wrote (TIFF's own tags)
        for (const Exiv2::Exifdatum& datum : exif) image->exifData()[datum.key()] = datum.value();
        image->setIptcData(iptc);
        image->setXmpPacket(metadata.xmp);
        if (metadata.xmp.empty()) image->clearXmpData();
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        const auto size = static_cast<std::size_t>(io.size());
        std::vector<std::uint8_t> written(size);
        if (io.open() != 0 || io.read(written.data(), static_cast<long>(size)) != static_cast<long>(size)) {
            throw Exiv2::Error(Exiv2::kerErrorMessage, "cannot read back the file written");
        }
        if (blockGoesInWhole) {
            const bool replaced = type == Exiv2::ImageType::jpeg ? replaceJpegExifBlock(written, metadata.exif)
                                  : type == Exiv2::ImageType::jp2 ? replaceJp2ExifBlock(written, metadata.exif)
                                                                  : false;
            if (!replaced) Log::line("Leaving out a maker note: the EXIF block could not be written whole");
        }
        encoded = std::move(written);
        return true;
    } catch (const std::exception& error) {
        Log::line(fmt::format("Cannot write the output metadata: {}", error.what()));
    }
    return false;
}

} // namespace pellora
