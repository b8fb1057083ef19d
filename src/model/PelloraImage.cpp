#include "model/PelloraImage.h"

#include <cstdint>

#include "model/FittedSize.h"
#include "model/RecordReadOnce.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/ImageProperties.h"

namespace pellora {

std::shared_ptr<PelloraImage> PelloraImage::pelloraImageWithPath(const std::string& path) {
    return std::make_shared<PelloraImage>(path);
}

PelloraImage::PelloraImage(std::string path) : _inputPath(std::move(path)), _inputImage(_inputPath) {}

std::string PelloraImage::inputName() const { return path::lastPathComponent(_inputPath); }

ReferencedImage& PelloraImage::inputImage() {
    _inputImage.measureInPixels();
    return _inputImage;
}

Size PelloraImage::inputSize() { return inputImage().size(); }

PlistValue PelloraImage::inputMetadata() const {
    RecordReadOnce* const memo = RecordReadOnce::activeFor(*this);
    if (!memo) return readInputMetadata();
    if (!memo->properties) memo->lines = Log::collectLines([&] { memo->properties = readInputMetadata(); });
    Log::lines(memo->lines);
    return *memo->properties;
}

PlistValue PelloraImage::readInputMetadata() const {
    const auto source = RecordReadOnce::openHeaderSource(_inputPath);
    if (!source) {
        Log::line("*** Error: inputMetadata: Image source is NULL.");
        return {};
    }
    PlistValue properties = source->copyPropertiesAtIndex(0);
    if (properties.isNull()) Log::line("*** Error: inputMetadata: Image properties is NULL.");
    return properties;
}

int orientationTagOf(const PlistValue& properties) {
    const PlistValue* tiff = properties.dictionaryValue().find(kImagePropertyTIFFDictionary);
    if (tiff == nullptr) return 1;
    return tiff->dictionaryValue().get(kImagePropertyTIFFOrientation).intValue();
}

bool isTurnedOrientation(int tag) { return tag >= 5 && tag <= 8; }

namespace {

// A side in whole pixels: sizes are whole numbers already; an unreadable
// (zero, negative or undefined) side counts as 0.
std::uint32_t wholePixels(float side) {
    if (!(side >= 1)) return 0;
    if (side >= 4294967295.0f) return UINT32_MAX;
    return static_cast<std::uint32_t>(side);
}

} // namespace

Size uprightSize(Size stored, int tag) {
    return isTurnedOrientation(tag) ? Size{stored.height, stored.width} : stored;
}

Size PelloraImage::outputSize() {
    const bool hardRotate = UserDefaults::standard().boolForKey(QVXDefaultsKey_hardRotate);
    const bool turned = isTurnedOrientation(orientationTagOf(inputMetadata()));
    const Size input = inputSize();
    const std::uint32_t storedWidth = wholePixels(input.width);
    const std::uint32_t storedHeight = wholePixels(input.height);
    // The limits apply to the picture as seen upright: turned images are
    // limited crosswise, since on display the stored height is the width.
    const PixelSize upright = turned ? PixelSize{storedHeight, storedWidth} : PixelSize{storedWidth, storedHeight};
    const PixelSize fitted = sizeFittedWithin(upright, _maxWidth, _maxHeight);
    const bool givenUpright = !turned || hardRotate;
    const PixelSize output = givenUpright ? fitted : PixelSize{fitted.height, fitted.width};
    return Size{static_cast<float>(output.width), static_cast<float>(output.height)};
}

PlistValue PelloraImage::modifiedImageMetadata() {
    PlistValue metadata = inputMetadata();
    if (metadata.isNull()) return metadata;
    const Size output = outputSize();
    PlistDictionary& properties = metadata.mutableDictionary();
    properties.set(kImagePropertyPixelWidth, static_cast<double>(output.width));
    properties.set(kImagePropertyPixelHeight, static_cast<double>(output.height));
    properties.set(kImagePropertyDPIWidth, 72);
    properties.set(kImagePropertyDPIHeight, 72);
    if (const PlistValue* exif = properties.find(kImagePropertyExifDictionary)) {
        PlistValue copy = *exif;
        copy.mutableDictionary().set(kImagePropertyExifPixelXDimension, static_cast<double>(output.width));
        copy.mutableDictionary().set(kImagePropertyExifPixelYDimension, static_cast<double>(output.height));
        properties.set(kImagePropertyExifDictionary, copy);
    }
    if (UserDefaults::standard().boolForKey(QVXDefaultsKey_hardRotate)) {
        if (const PlistValue* tiff = properties.find(kImagePropertyTIFFDictionary)) {
            PlistValue copy = *tiff;
            copy.mutableDictionary().set(kImagePropertyTIFFOrientation, 1);
            properties.set(kImagePropertyTIFFDictionary, copy);
        }
    }
    return metadata;
}

} // namespace pellora
