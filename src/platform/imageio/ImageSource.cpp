#include "platform/imageio/ImageSource.h"

#include <algorithm>
#include <fmt/format.h>

#include "platform/foundation/Log.h"
#include "platform/imageio/CodecRegistry.h"
#include "platform/imageio/FileByteSource.h"
#include "platform/imageio/HeaderExtent.h"
#include "platform/imageio/ImageLimits.h"
#include "platform/imageio/PixelMemoryBudget.h"
#include "platform/imageio/metadata/ExifPreview.h"

namespace pellora {
namespace {

// Enough for every codec's signature.
constexpr std::size_t signatureBytes = 64;
// The first chunk of a header read: a camera JPEG's segments fit in it; each
// further chunk is four times as large.
constexpr std::size_t firstHeaderChunk = std::size_t{64} << 10;

// The codec of a file's first bytes; null after one log line.
const Codec* codecOfSignature(std::span<const std::uint8_t> head, const std::string& path) {
    const Codec* codec = CodecRegistry::shared().codecForData(head.first(std::min(head.size(), signatureBytes)));
    if (!codec) Log::line(fmt::format("ImageSource: {} is not an image in a format Pellora reads", path));
    return codec;
}

} // namespace

ImageSource::ImageSource(std::vector<std::uint8_t> bytes, const Codec& codec, bool holdsWholeFile,
                         std::uint64_t bytesRead)
    : _bytes(std::move(bytes)), _codec(&codec), _holdsWholeFile(holdsWholeFile), _bytesRead(bytesRead) {}

std::unique_ptr<ImageSource> ImageSource::createWithPath(const std::string& path) {
    const auto file = FileByteSource::open(path);
    if (!file) return nullptr;
    // The signature first, so that a large file of another kind is not read whole.
    std::vector<std::uint8_t> bytes;
    if (!file->extendPrefix(bytes, static_cast<std::size_t>(std::min<std::uint64_t>(signatureBytes, file->size())))) {
        return nullptr;
    }
    const Codec* codec = codecOfSignature(bytes, path);
    if (!codec || !file->extendPrefix(bytes, static_cast<std::size_t>(file->size()))) return nullptr;
    return std::unique_ptr<ImageSource>(new ImageSource(std::move(bytes), *codec, true, file->bytesRead()));
}

std::unique_ptr<ImageSource> ImageSource::createForHeaderWithPath(const std::string& path) {
    const auto file = FileByteSource::open(path);
    if (!file) return nullptr;
    const auto size = static_cast<std::size_t>(file->size());
    std::vector<std::uint8_t> bytes;
    if (!file->extendPrefix(bytes, std::min(firstHeaderChunk, size))) return nullptr;
    const Codec* codec = codecOfSignature(bytes, path);
    if (!codec) return nullptr;
    for (std::size_t chunk = firstHeaderChunk; bytes.size() < size; chunk *= 4) {
        if (const auto extent = headerExtent(bytes)) {
            bytes.resize(*extent);
            return std::unique_ptr<ImageSource>(new ImageSource(std::move(bytes), *codec, false, file->bytesRead()));
        }
        const std::size_t before = bytes.size();
        if (!file->extendPrefix(bytes, std::min(chunk * 4, size))) return nullptr;
        // A file that shrank while read ends here.
        if (bytes.size() == before) break;
    }
    return std::unique_ptr<ImageSource>(new ImageSource(std::move(bytes), *codec, true, file->bytesRead()));
}

std::unique_ptr<ImageSource> ImageSource::createWithData(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        Log::line("ImageSource: no data");
        return nullptr;
    }
    const Codec* codec = CodecRegistry::shared().codecForData(bytes.first(std::min(bytes.size(), signatureBytes)));
    if (!codec) {
        Log::line("ImageSource: data is not an image in a format Pellora reads");
        return nullptr;
    }
    return std::unique_ptr<ImageSource>(new ImageSource({bytes.begin(), bytes.end()}, *codec, true, 0));
}

std::optional<ImageHeader> ImageSource::header() const { return _codec->readHeader(_bytes); }

DecodedImagePtr ImageSource::decodeFirstImage(const DecodeOptions& options) const {
    if (!_holdsWholeFile) {
        Log::line(fmt::format("ImageSource: a {} image read for its header alone cannot be decoded", _codec->name()));
        return nullptr;
    }
    // Every codec checks its own header too; checking here first holds the
    // limits for any codec before it allocates.
    const auto firstHeader = header();
    if (!firstHeader) return nullptr;
    if (!fitsDecodeLimits(_codec->name(), firstHeader->width, firstHeader->height, options.limits)) return nullptr;
    if (PixelMemoryBudget::coveredOnThisThread()) return _codec->decode(_bytes, options);

    const auto bytes = decodeMemory(options);
    if (!bytes) return nullptr;
    PixelReservation share = PixelMemoryBudget::shared().reserve(
        *bytes, fmt::format("{}: a {} x {} image", _codec->name(), firstHeader->width, firstHeader->height));
    if (!share.granted()) return nullptr;
    DecodedImagePtr image = _codec->decode(_bytes, options);
    if (!image) return nullptr;
    // The share goes back when the last holder of the image lets it go.
    struct Held {
        DecodedImagePtr image;
        PixelReservation share;
    };
    auto held = std::make_shared<Held>(Held{image, std::move(share)});
    return DecodedImagePtr(held, held->image.get());
}

std::unique_ptr<RowDecoder> ImageSource::openRowDecoder(const DecodeOptions& options) const {
    const auto firstHeader = header();
    if (!firstHeader) return nullptr;
    if (!fitsDecodeLimits(_codec->name(), firstHeader->width, firstHeader->height, options.limits)) return nullptr;
    if (PixelMemoryBudget::coveredOnThisThread()) return _codec->openRowDecoder(_bytes, options);

    const auto bytes = rowDecodeMemory(options);
    if (!bytes) return nullptr;
    PixelReservation share = PixelMemoryBudget::shared().reserve(
        *bytes, fmt::format("{}: a {} x {} image", _codec->name(), firstHeader->width, firstHeader->height));
    if (!share.granted()) return nullptr;
    auto decoder = _codec->openRowDecoder(_bytes, options);
    if (decoder) decoder->holdShare(std::move(share));
    return decoder;
}

std::optional<std::uint64_t> ImageSource::rowDecodeMemory(const DecodeOptions& options) const {
    return _codec->rowDecodeMemory(_bytes, options);
}

std::optional<std::uint64_t> ImageSource::decodeMemory(const DecodeOptions& options) const {
    return _codec->decodeMemory(_bytes, options);
}

std::span<const std::uint8_t> ImageSource::exifPreview() const {
    if (_codec->name() != "JPEG" && _codec->name() != "TIFF") return {};
    return exifPreviewJpeg(_bytes);
}

std::size_t ImageSource::count() const { return _codec->imageCount(_bytes); }

std::string_view ImageSource::type() const { return _codec->typeIdentifier(); }

} // namespace pellora
