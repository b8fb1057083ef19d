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
    case ColorModel::Gray: return kImagePropertyColorModelGray;
    case ColorModel::CMYK: return kImagePropertyColorModelCMYK;
    case ColorModel::RGB: break;
    }
    return kImagePropertyColorModelRGB;
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
    properties.set(kImagePropertyPixelWidth, static_cast<std::int64_t>(header->width));
    properties.set(kImagePropertyPixelHeight, static_cast<std::int64_t>(header->height));
    if (header->hasResolution) {
        properties.set(kImagePropertyDPIWidth, header->dpiWidth);
        properties.set(kImagePropertyDPIHeight, header->dpiHeight);
    }
    properties.set(kImagePropertyDepth, header->bitsPerComponent);
    properties.set(kImagePropertyColorModel, colorModelName(header->colorModel));
    properties.set(kImagePropertyHasAlpha, header->hasAlpha);
    if (header->isFloat) properties.set(kImagePropertyIsFloat, true);
    if (header->isIndexed) properties.set(kImagePropertyIsIndexed, true);
    if (!header->iccProfile.empty()) {
        if (std::string name = profileDescription(header->iccProfile); !name.empty()) {
            properties.set(kImagePropertyProfileName, std::move(name));
        }
    }

    addMetadataProperties(_data, fmt::format("a {} image", _codec->name()), properties);

    if (const PlistValue* tiff = properties.find(kImagePropertyTIFFDictionary)) {
        PlistValue upright = *tiff;
        if (pixelsComeUpright(*_codec) && upright.dictionaryValue().contains(kImagePropertyTIFFOrientation)) {
            upright.mutableDictionary().set(kImagePropertyTIFFOrientation, 1);
            properties.set(kImagePropertyTIFFDictionary, upright);
        }
        if (const PlistValue* orientation = upright.dictionaryValue().find(kImagePropertyTIFFOrientation)) {
            properties.set(kImagePropertyOrientation, *orientation);
        }
    }
    return properties;
}

} // namespace pellora
