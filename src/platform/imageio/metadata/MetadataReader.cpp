#include "platform/imageio/metadata/MetadataReader.h"

#include <algorithm>
#include <array>
#include <fmt/format.h>
#include <string_view>

#include "platform/foundation/Log.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/metadata/Exiv2Support.h"
#include "platform/imageio/metadata/MakerNotes.h"

namespace pellora {
namespace {

// XMP packets larger than this are not read: the XMP toolkit needs about
// fifteen times a packet's size in memory to parse it, so a file made of one
// huge packet could exhaust memory. Real packets, even with an editor's
// history, stay far below.
constexpr std::size_t kMaxXmpPacketBytes = std::size_t{16} << 20;

// True when the bytes hold XML that opens like an XMP packet and does not
// close within kMaxXmpPacketBytes. Only a file larger than the limit can hold
// such a packet, so smaller files are not scanned.
bool hasOversizedXmp(std::span<const std::uint8_t> bytes) {
    if (bytes.size() <= kMaxXmpPacketBytes) return false;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kElements{{
        {"<x:xmpmeta", "</x:xmpmeta>"},
        {"<x:xapmeta", "</x:xapmeta>"},
        {"<rdf:RDF", "</rdf:RDF>"},
    }};
    for (const auto& [opening, closing] : kElements) {
        for (std::size_t at = text.find(opening); at != std::string_view::npos; at = text.find(opening, at + 1)) {
            const std::string_view window = text.substr(at, kMaxXmpPacketBytes);
            if (window.size() == kMaxXmpPacketBytes && window.find(closing) == std::string_view::npos) return true;
        }
    }
    return false;
}

// The EXIF data as one TIFF stream, in the source's byte order: a maker note
// that Exiv2 does not decode may follow the byte order of its surroundings.
PlistData blobOf(const Exiv2::ExifData& exif, Exiv2::ByteOrder order) {
    if (exif.empty()) return {};
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, order == Exiv2::invalidByteOrder ? Exiv2::littleEndian : order, exif);
    return PlistData(blob.begin(), blob.end());
}

// The maker note as the source holds it and where, for the writer to put it
// back there. Left out when it lies beyond what an output's EXIF block holds.
void addMakerNote(std::span<const std::uint8_t> bytes, const Exiv2::ExifData& exif, PlistDictionary& blocks) {
    auto makerNote = makerNoteBytes(exif);
    if (!makerNote) return;
    const auto offset = makerNoteOffsetInFile(bytes, *makerNote);
    if (!offset || std::uint64_t{*offset} + makerNote->size() > kMaxJpegExifBlock) return;
    blocks.set(kMakerNoteOffsetBlock, static_cast<std::int64_t>(*offset));
    blocks.set(kMakerNoteBlock, PlistData(makerNote->begin(), makerNote->end()));
}

void addIptcBlock(const Exiv2::IptcData& iptc, PlistDictionary& blocks) {
    if (iptc.empty()) return;
    const Exiv2::DataBuf buffer = Exiv2::IptcParser::encode(iptc);
    if (buffer.size_ <= 0) return;
    PlistData bytes(static_cast<std::size_t>(buffer.size_));
    std::copy_n(buffer.pData_, bytes.size(), bytes.begin());
    blocks.set("IPTC", std::move(bytes));
}

} // namespace

bool addMetadataProperties(std::span<const std::uint8_t> bytes, const std::string& origin,
                           PlistDictionary& properties) {
    exiv2::ensureInitialized();
    if (hasOversizedXmp(bytes)) {
        Log::line(fmt::format("Cannot read the metadata of {}: its XMP packet is larger than {} MB", origin,
                              kMaxXmpPacketBytes >> 20));
        return false;
    }
    try {
        auto image = Exiv2::ImageFactory::open(bytes.data(), static_cast<long>(bytes.size()));
        if (image.get() == nullptr) throw Exiv2::Error(Exiv2::kerFileContainsUnknownImageType);
        image->readMetadata();
        for (const auto& [family, entries] : exiv2::exifFamilies(image->exifData())) properties.set(family, entries);
        if (PlistValue iptc = exiv2::iptcFamily(image->iptcData()); !iptc.dictionaryValue().empty()) {
            properties.set(kImagePropertyIPTCDictionary, std::move(iptc));
        }
        PlistDictionary blocks;
        if (PlistData exif = blobOf(image->exifData(), image->byteOrder()); !exif.empty()) {
            blocks.set("Exif", std::move(exif));
            addMakerNote(bytes, image->exifData(), blocks);
        }
        addIptcBlock(image->iptcData(), blocks);
        if (!image->xmpPacket().empty()) blocks.set("XMP", image->xmpPacket());
        if (!blocks.empty()) properties.set(kPelloraPropertySourceMetadata, std::move(blocks));
        return true;
    } catch (const std::exception& error) {
        Log::line(fmt::format("Cannot read the metadata of {}: {}", origin, error.what()));
    } catch (...) {
        Log::line(fmt::format("Cannot read the metadata of {}", origin));
    }
    return false;
}

} // namespace pellora
