#include <fmt/format.h>
#include <lcms2.h>

#include "platform/foundation/Log.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/metadata/MetadataReader.h"

namespace pellora {
namespace {

const char* colorModelName(ColorModel model) {
    switch (model) {
    case ColorModel::Gray: return kCGImagePropertyColorModelGray;
    case ColorModel::CMYK: return kCGImagePropertyColorModelCMYK;
    case ColorModel::RGB: break;
    }
    return kCGImagePropertyColorModelRGB;
}

// The description an ICC profile gives itself, empty when it has none.
std::string profileDescription(const std::vector<std::uint8_t>& icc) {
    cmsHPROFILE profile = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
    if (profile == nullptr) return {};
    char text[256] = {};
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text, sizeof text);
    cmsCloseProfile(profile);
    return text;
}

// Codecs that hand over pixels already turned upright by the file's own
// transforms: their orientation must read 1 so that nothing turns twice.
bool pixelsComeUpright(const Codec& codec) { return codec.name() == "HEIF"; }

} // namespace

PlistValue ImageSource::copyPropertiesAtIndex(std::size_t index) const {
    if (index != 0) {
        Log::line(fmt::format("ImageSource: no properties for image {}", index));
        return {};
    }
    const auto header = this->header();
    if (!header) return {};

    PlistDictionary properties;
    properties.set(kCGImagePropertyPixelWidth, static_cast<std::int64_t>(header->width));
    properties.set(kCGImagePropertyPixelHeight, static_cast<std::int64_t>(header->height));
    if (header->hasResolution) {
        properties.set(kCGImagePropertyDPIWidth, header->dpiWidth);
        properties.set(kCGImagePropertyDPIHeight, header->dpiHeight);
    }
    properties.set(kCGImagePropertyDepth, header->bitsPerComponent);
    properties.set(kCGImagePropertyColorModel, colorModelName(header->colorModel));
    properties.set(kCGImagePropertyHasAlpha, header->hasAlpha);
    if (header->isFloat) properties.set(kCGImagePropertyIsFloat, true);
    if (header->isIndexed) properties.set(kCGImagePropertyIsIndexed, true);
    if (!header->iccProfile.empty()) {
        if (std::string name = profileDescription(header->iccProfile); !name.empty()) {
            properties.set(kCGImagePropertyProfileName, std::move(name));
        }
    }

    addMetadataProperties(_data, fmt::format("a {} image", _codec->name()), properties);

    if (const PlistValue* tiff = properties.find(kCGImagePropertyTIFFDictionary)) {
        PlistValue upright = *tiff;
        if (pixelsComeUpright(*_codec) && upright.dictionaryValue().contains(kCGImagePropertyTIFFOrientation)) {
            upright.mutableDictionary().set(kCGImagePropertyTIFFOrientation, 1);
            properties.set(kCGImagePropertyTIFFDictionary, upright);
        }
        if (const PlistValue* orientation = upright.dictionaryValue().find(kCGImagePropertyTIFFOrientation)) {
            properties.set(kCGImagePropertyOrientation, *orientation);
        }
    }
    return properties;
}

} // namespace pellora
