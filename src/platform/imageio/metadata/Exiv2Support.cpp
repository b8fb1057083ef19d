#include "platform/imageio/metadata/Exiv2Support.h"

#include <array>
#include <cmath>
#include <mutex>
#include <utility>

#include "platform/foundation/Log.h"
#include "platform/imageio/ImageProperties.h"

namespace pellora::exiv2 {
namespace {

// Exiv2 names that differ from the family key strings.
constexpr std::array<std::pair<const char*, const char*>, 6> kExifRenames{{
    {"FlashpixVersion", "FlashPixVersion"},
    {"FocalLengthIn35mmFilm", "FocalLenIn35mmFilm"},
    {"SubjectDistanceRange", "SubjectDistRange"},
    {"SubSecTime", "SubsecTime"},
    {"SubSecTimeOriginal", "SubsecTimeOriginal"},
    {"SubSecTimeDigitized", "SubsecTimeDigitized"},
}};

constexpr std::array<std::pair<const char*, const char*>, 12> kIptcRenames{{
    {"Caption", "Caption/Abstract"},
    {"Copyright", "CopyrightNotice"},
    {"CountryName", "Country/PrimaryLocationName"},
    {"CountryCode", "Country/PrimaryLocationCode"},
    {"ProvinceState", "Province/State"},
    {"Writer", "Writer/Editor"},
    {"DigitizationDate", "DigitalCreationDate"},
    {"DigitizationTime", "DigitalCreationTime"},
    {"Program", "OriginatingProgram"},
    {"SuppCategory", "SupplementalCategory"},
    {"Subject", "SubjectReference"},
    {"Language", "LanguageIdentifier"},
}};

template <std::size_t N>
std::string renamed(const std::array<std::pair<const char*, const char*>, N>& table, const std::string& name,
                    bool forward) {
    for (const auto& [from, to] : table) {
        if (name == (forward ? from : to)) return forward ? to : from;
    }
    return name;
}

std::mutex& xmpMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

void lockXmp(void*, bool lock) {
    if (lock) {
        xmpMutex().lock();
    } else {
        xmpMutex().unlock();
    }
}

void logExiv2(int level, const char* message) {
    if (level < Exiv2::LogMsg::error) return;
    std::string text = message;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    Log::line("Exiv2: " + text);
}

double rationalValue(const Exiv2::Rational& value) {
    return value.second == 0 ? 0.0 : static_cast<double>(value.first) / static_cast<double>(value.second);
}

bool isIntegerType(Exiv2::TypeId type) {
    switch (type) {
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedByte:
    case Exiv2::signedShort:
    case Exiv2::signedLong:
    case Exiv2::tiffIfd:
        return true;
    default:
        return false;
    }
}

bool isRealType(Exiv2::TypeId type) {
    return type == Exiv2::unsignedRational || type == Exiv2::signedRational || type == Exiv2::tiffFloat ||
           type == Exiv2::tiffDouble;
}

PlistValue componentValue(const Exiv2::Metadatum& datum, long index) {
    const Exiv2::TypeId type = datum.typeId();
    if (type == Exiv2::unsignedRational || type == Exiv2::signedRational) {
        return rationalValue(datum.toRational(index));
    }
    if (isRealType(type)) return static_cast<double>(datum.toFloat(index));
    return static_cast<std::int64_t>(datum.toLong(index));
}

} // namespace

void ensureInitialized() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::error);
        Exiv2::LogMsg::setHandler(logExiv2);
        Exiv2::XmpParser::initialize(lockXmp, nullptr);
        Exiv2::enableBMFF(true);
    });
}

std::optional<FamilyKey> familyKeyOfExif(const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName();
    const std::string tag = datum.tagName();
    if (group == "Image") return FamilyKey{kImagePropertyTIFFDictionary, tag};
    if (group == "Photo") {
        if (tag == "MakerNote") return std::nullopt;  // kept in its own groups
        return FamilyKey{kImagePropertyExifDictionary, renamed(kExifRenames, tag, true)};
    }
    if (group == "GPSInfo") {
        if (tag == "GPSVersionID") return FamilyKey{kImagePropertyGPSDictionary, "GPSVersion"};
        return FamilyKey{kImagePropertyGPSDictionary, tag.rfind("GPS", 0) == 0 ? tag.substr(3) : tag};
    }
    return std::nullopt;
}

std::optional<std::string> exifKeyOfFamilyKey(const std::string& family, const std::string& key) {
    std::string exiv2Key;
    if (family == kImagePropertyTIFFDictionary) {
        exiv2Key = "Exif.Image." + key;
    } else if (family == kImagePropertyExifDictionary) {
        exiv2Key = "Exif.Photo." + renamed(kExifRenames, key, false);
    } else if (family == kImagePropertyGPSDictionary) {
        exiv2Key = "Exif.GPSInfo." + (key == "GPSVersion" ? std::string("GPSVersionID") : "GPS" + key);
    } else {
        return std::nullopt;
    }
    try {
        Exiv2::ExifKey known(exiv2Key);  // throws for a tag name Exiv2 does not know
        return known.key();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string iptcPropertyName(const std::string& datasetName) { return renamed(kIptcRenames, datasetName, true); }
std::string iptcDatasetName(const std::string& propertyName) { return renamed(kIptcRenames, propertyName, false); }

PlistValue plistValueOf(const Exiv2::Metadatum& datum) {
    const Exiv2::TypeId type = datum.typeId();
    const long count = datum.count();
    if (isIntegerType(type) || isRealType(type)) {
        if (count == 1) return componentValue(datum, 0);
        PlistArray components;
        for (long i = 0; i < count; ++i) components.push_back(componentValue(datum, i));
        return components;
    }
    if (type == Exiv2::undefined) {
        PlistData bytes(static_cast<std::size_t>(datum.size()));
        if (!bytes.empty()) datum.copy(bytes.data(), Exiv2::invalidByteOrder);
        return bytes;
    }
    return datum.toString();
}

PlistDictionary exifFamilies(const Exiv2::ExifData& exif) {
    PlistValue tiff{PlistDictionary{}}, photo{PlistDictionary{}}, gps{PlistDictionary{}};
    for (const Exiv2::Exifdatum& datum : exif) {
        const auto familyKey = familyKeyOfExif(datum);
        if (!familyKey) continue;
        const std::string family = familyKey->family;
        PlistValue& target = family == kImagePropertyTIFFDictionary ? tiff
                             : family == kImagePropertyExifDictionary ? photo
                                                                        : gps;
        target.mutableDictionary().set(familyKey->key, plistValueOf(datum));
    }
    PlistDictionary families;
    if (!tiff.dictionaryValue().empty()) families.set(kImagePropertyTIFFDictionary, tiff);
    if (!photo.dictionaryValue().empty()) families.set(kImagePropertyExifDictionary, photo);
    if (!gps.dictionaryValue().empty()) families.set(kImagePropertyGPSDictionary, gps);
    return families;
}

PlistValue iptcFamily(const Exiv2::IptcData& iptc) {
    PlistDictionary family;
    for (const Exiv2::Iptcdatum& datum : iptc) {
        if (datum.recordName() != "Application2") continue;
        const std::string key = iptcPropertyName(datum.tagName());
        const PlistValue value = datum.toString();
        if (const PlistValue* existing = family.find(key)) {
            PlistValue list = existing->isArray() ? *existing : PlistValue(PlistArray{*existing});
            list.mutableArray().push_back(value);
            family.set(key, list);
        } else if (Exiv2::IptcDataSets::dataSetRepeatable(datum.tag(), datum.record())) {
            family.set(key, PlistArray{value});
        } else {
            family.set(key, value);
        }
    }
    return family;
}

void assignPlistValue(Exiv2::Exifdatum& datum, const PlistValue& value) {
    Exiv2::TypeId type = datum.typeId();
    if (type == Exiv2::invalidTypeId || type == Exiv2::lastTypeId) {
        type = Exiv2::ExifKey(datum.key()).defaultTypeId();
    }
    const PlistArray components = value.isArray() ? value.arrayValue() : PlistArray{value};
    if (value.isString()) {
        datum.setValue(value.stringValue());
        return;
    }
    if (value.type() == PlistValue::Type::Data) {
        Exiv2::DataValue bytes(Exiv2::undefined);
        const PlistData& data = value.dataValue();
        bytes.read(data.data(), static_cast<long>(data.size()), Exiv2::littleEndian);
        datum.setValue(&bytes);
        return;
    }
    auto encoded = Exiv2::Value::create(type);
    std::string text;
    for (const PlistValue& component : components) {
        if (!text.empty()) text += ' ';
        if (type == Exiv2::unsignedRational || type == Exiv2::signedRational) {
            const double number = component.doubleValue();
            // Whole numbers keep an exact denominator of 1.
            if (std::floor(number) == number && std::fabs(number) < 2e9) {
                text += std::to_string(static_cast<long long>(number)) + "/1";
            } else {
                const Exiv2::Rational rational = Exiv2::floatToRationalCast(static_cast<float>(number));
                text += std::to_string(rational.first) + "/" + std::to_string(rational.second);
            }
        } else if (isRealType(type)) {
            text += std::to_string(component.doubleValue());
        } else {
            text += std::to_string(component.integerValue());
        }
    }
    encoded->read(text);
    datum.setValue(encoded.get());
}

} // namespace pellora::exiv2
