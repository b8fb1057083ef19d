#include "platform/imageio/metadata/MetadataReader.h"

#include <algorithm>
#include <fmt/format.h>

#include "platform/foundation/Log.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/metadata/Exiv2Support.h"

namespace pellora {
namespace {

PlistData blobOf(const Exiv2::ExifData& exif) {
    if (exif.empty()) return {};
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return PlistData(blob.begin(), blob.end());
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
    try {
        auto image = Exiv2::ImageFactory::open(bytes.data(), static_cast<long>(bytes.size()));
        if (image.get() == nullptr) throw Exiv2::Error(Exiv2::kerFileContainsUnknownImageType);
        image->readMetadata();
        for (const auto& [family, entries] : exiv2::exifFamilies(image->exifData())) properties.set(family, entries);
        if (PlistValue iptc = exiv2::iptcFamily(image->iptcData()); !iptc.dictionaryValue().empty()) {
            properties.set(kCGImagePropertyIPTCDictionary, std::move(iptc));
        }
        PlistDictionary blocks;
        if (PlistData exif = blobOf(image->exifData()); !exif.empty()) blocks.set("Exif", std::move(exif));
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
