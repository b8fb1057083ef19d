#include "platform/imageio/ImageDestination.h"

#include <cmath>
#include <fmt/format.h>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/imageio/CodecCalls.h"
#include "platform/imageio/CodecRegistry.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/metadata/MetadataWriter.h"

namespace pellora {
namespace {

EncodeOptions encodeOptionsFrom(const PlistDictionary& properties) {
    EncodeOptions options;
    if (const PlistValue* quality = properties.find(kImageDestinationLossyCompressionQuality);
        quality && quality->isNumber() && std::isfinite(quality->doubleValue())) {
        options.quality = quality->floatValue();
    }
    if (const PlistValue* hasAlpha = properties.find(kImagePropertyHasAlpha)) {
        options.hasAlpha = hasAlpha->boolValue();
    }
    if (const PlistValue* dpi = properties.find(kImagePropertyDPIWidth);
        dpi && dpi->isNumber() && std::isfinite(dpi->doubleValue()) && dpi->doubleValue() > 0) {
        options.dpi = dpi->doubleValue();
    }
    return options;
}

// True when the properties carry metadata of a source (families or blocks).
bool hasMetadata(const PlistDictionary& properties) {
    for (const char* key : {kImagePropertyTIFFDictionary, kImagePropertyExifDictionary,
                            kImagePropertyGPSDictionary, kImagePropertyIPTCDictionary,
                            kPelloraPropertySourceMetadata}) {
        if (properties.contains(key)) return true;
    }
    return false;
}

} // namespace

std::unique_ptr<ImageDestination> ImageDestination::createWithPath(const std::string& path, std::string_view type) {
    const Codec* codec = CodecRegistry::shared().codecForTypeIdentifier(type);
    if (!codec) {
        Log::line(fmt::format("ImageDestination: no encoder for type \"{}\" ({})", type, path));
        return nullptr;
    }
    return std::unique_ptr<ImageDestination>(new ImageDestination(path, *codec));
}

void ImageDestination::addImage(const RgbaBitmapView& bitmap, const PlistDictionary& properties) {
    if (_state != State::Empty) {
        Log::line(fmt::format("ImageDestination: {} takes one image; another one was ignored", _path));
        return;
    }
    if (!bitmap.isWithinBuffer()) {
        Log::line(fmt::format("ImageDestination: invalid bitmap for {} ({} x {}, {} bytes per row, {} bytes)", _path,
                              bitmap.width, bitmap.height, bitmap.rowBytes, bitmap.byteCount));
        _state = State::ImageRefused;
        return;
    }
    _bitmap = bitmap;
    _options = encodeOptionsFrom(properties);
    _properties = properties;
    _state = State::ImageAdded;
}

bool ImageDestination::finalize() {
    PendingFile file = finalizeToPendingFile();
    return file.isOpen() && file.commit(true) == PendingFile::Commit::Done;
}

PendingFile ImageDestination::finalizeToPendingFile() {
    const State state = _state;
    _state = State::Finalized;
    if (state == State::ImageRefused) return {};  // already logged
    if (state != State::ImageAdded) {
        Log::line(fmt::format("ImageDestination: nothing to write to {}", _path));
        return {};
    }
    std::optional<EmbeddableMetadata> metadata;
    if (_codec->metadataWriting() != MetadataWriting::None && hasMetadata(_properties)) {
        metadata = prepareOutputMetadata(_properties);
        if (!metadata) return {};  // already logged
        if (_codec->metadataWriting() == MetadataWriting::ByEncoder) {
            _options.exif = metadata->exif;
            _options.xmp = metadata->xmp;
        }
    }
    // The whole file is made in memory and written once: rewriting an encoded
    // file to add its metadata costs a truncate, which is slow on some file systems.
    std::vector<std::uint8_t> encoded;
    if (!encodeWith(*_codec, _bitmap, _options, encoded)) return {};
    if (metadata && !metadata->empty() && _codec->metadataWriting() == MetadataWriting::AfterEncoding &&
        !(embedMetadata(encoded, *metadata) && finishAfterMetadataWith(*_codec, encoded, _options))) {
        return {};
    }
    PendingFile file = PendingFile::create(_path);
    if (file.isOpen()) file.writeAll(std::string_view(reinterpret_cast<const char*>(encoded.data()), encoded.size()));
    return file;
}

} // namespace pellora
