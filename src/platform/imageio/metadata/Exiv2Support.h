#pragma once

// Internal to the metadata folder: includes Exiv2, which no public header exposes.
#include <exiv2/exiv2.hpp>
#include <optional>
#include <string>

#include "platform/foundation/PlistValue.h"

namespace pellora::exiv2 {

// Initialises Exiv2 once for the process: thread-safe XMP toolkit, BMFF
// (HEIF) support, its log routed to ours (errors only).
void ensureInitialized();

struct FamilyKey {
    const char* family;  // kImagePropertyTIFFDictionary, ...
    std::string key;     // the family's key string
};

// {TIFF}, {Exif} or {GPS} entry for an EXIF datum of IFD0, the Exif IFD or the
// GPS IFD; nullopt for every other group (maker notes, IFD1, interoperability).
std::optional<FamilyKey> familyKeyOfExif(const Exiv2::Exifdatum& datum);
// The Exiv2 key ("Exif.Photo.FocalLengthIn35mmFilm") of a family entry.
std::optional<std::string> exifKeyOfFamilyKey(const std::string& family, const std::string& key);

// {IPTC} key of an IPTC dataset and back.
std::string iptcPropertyName(const std::string& datasetName);
std::string iptcDatasetName(const std::string& propertyName);

// A datum's value in the property-list form: numbers (rationals as reals),
// arrays for several components, text as strings, undefined bytes as data.
PlistValue plistValueOf(const Exiv2::Metadatum& datum);

// The {TIFF}, {Exif} and {GPS} families of EXIF data (only those that have entries).
PlistDictionary exifFamilies(const Exiv2::ExifData& exif);
// The {IPTC} family of IPTC data; repeatable datasets become arrays.
PlistValue iptcFamily(const Exiv2::IptcData& iptc);

// Sets a datum from a property-list value, keeping the datum's type where it has one.
void assignPlistValue(Exiv2::Exifdatum& datum, const PlistValue& value);

} // namespace pellora::exiv2
