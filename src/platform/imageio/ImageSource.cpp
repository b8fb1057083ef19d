#include "platform/imageio/ImageSource.h"

#include <algorithm>
#include <fmt/format.h>

#include "platform/foundation/Log.h"
#include "platform/imageio/CodecCalls.h"
#include "platform/imageio/CodecRegistry.h"
#include "platform/imageio/FileByteSource.h"
#include "platform/imageio/FileHeaderRangeReader.h"
#include "platform/imageio/ImageLimits.h"
#include "platform/imageio/PixelMemoryBudget.h"
#include "platform/imageio/metadata/ExifPreview.h"

namespace pellora {
namespace {

// Enough for every codec's signature.
constexpr std::size_t signatureBytes = 64;

// The codec of a file's first bytes; null after one log line.
const Codec* codecOfSignature(std::span<const std::uint8_t> head, const std::string& path) {
    const Codec* codec = CodecRegistry::shared().codecForData(head.first(std::min(head.size(), signatureBytes)));
    if (!codec) Log::line(fmt::format("ImageSource: {} is not an image in a format Pellora reads", path));
    return codec;
}

} // namespace

ImageSource::ImageSource(std::vector<std::uint8_t> bytes, const Codec& codec, std::uint64_t bytesRead)
    : _bytes(std::move(bytes)), _data(_bytes), _codec(&codec), _holdsWholeFile(true), _bytesRead(bytesRead) {}

ImageSource::ImageSource(AnonymousMapping headerRanges, const Codec& codec, std::uint64_t bytesRead)
    : _headerRanges(std::move(headerRanges)),
      _data(_headerRanges.bytes()),
      _codec(&codec),
      _holdsWholeFile(false),
      _bytesRead(bytesRead) {}

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
    return std::unique_ptr<ImageSource>(new ImageSource(std::move(bytes), *codec, file->bytesRead()));
}

std::unique_ptr<ImageSource> ImageSource::createForHeaderWithPath(const std::string& path) {
    const auto file = FileByteSource::open(path);
    if (!file) return nullptr;
    const auto size = static_cast<std::size_t>(file->size());
    auto headerRanges = AnonymousMapping::create(size);
    const Codec* codec = nullptr;
    if (headerRanges) {
        FileHeaderRangeReader reader(*file, headerRanges->bytes());
        const auto head = reader.read(0, signatureBytes);
        if (head.empty()) return nullptr;
        codec = codecOfSignature(head, path);
        if (!codec) return nullptr;
        if (readHeaderRangesOf(*codec, reader)) {
            return std::unique_ptr<ImageSource>(new ImageSource(std::move(*headerRanges), *codec, file->bytesRead()));
        }
        headerRanges.reset();
    }
    std::vector<std::uint8_t> bytes;
    if (!file->extendPrefix(bytes, size)) return nullptr;
    if (!codec) codec = codecOfSignature(bytes, path);
    if (!codec) return nullptr;
    return std::unique_ptr<ImageSource>(new ImageSource(std::move(bytes), *codec, file->bytesRead()));
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
    return std::unique_ptr<ImageSource>(new ImageSource(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), *codec, 0));
}

std::optional<ImageHeader> ImageSource::header() const { return readHeaderOf(*_codec, _data); }

std::optional<ImageHeader> ImageSource::headerWithinLimits(const DecodeOptions& options) const {
    // Every codec checks its own header too; checking here first holds the
    // limits for any codec before it allocates.
    auto firstHeader = header();
    if (!firstHeader) return std::nullopt;
    if (!fitsDecodeLimits(_codec->name(), firstHeader->width, firstHeader->height, options.limits)) {
        return std::nullopt;
    }
    return firstHeader;
}

PixelReservation ImageSource::reserveShare(const ImageHeader& firstHeader, std::optional<std::uint64_t> memory) const {
    if (!memory) return {};
    return PixelMemoryBudget::shared().reserve(
        *memory, fmt::format("{}: a {} x {} image", _codec->name(), firstHeader.width, firstHeader.height));
}

DecodedImagePtr ImageSource::decodeFirstImage(const DecodeOptions& options) const {
    if (!_holdsWholeFile) {
        Log::line(fmt::format("ImageSource: a {} image read for its header alone cannot be decoded", _codec->name()));
        return nullptr;
    }
    const auto firstHeader = headerWithinLimits(options);
    if (!firstHeader) return nullptr;
    if (PixelMemoryBudget::coveredOnThisThread()) return decodeWith(*_codec, _data, options);
    PixelReservation share = reserveShare(*firstHeader, decodeMemory(options));
    if (!share.granted()) return nullptr;
    DecodedImagePtr image = decodeWith(*_codec, _data, options);
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
    const auto firstHeader = headerWithinLimits(options);
    if (!firstHeader) return nullptr;
    if (PixelMemoryBudget::coveredOnThisThread()) return openRowDecoderWith(*_codec, _data, options);
    PixelReservation share = reserveShare(*firstHeader, rowDecodeMemory(options));
    if (!share.granted()) return nullptr;
    auto decoder = openRowDecoderWith(*_codec, _data, options);
    if (decoder) decoder->holdShare(std::move(share));
    return decoder;
}

std::optional<std::uint64_t> ImageSource::rowDecodeMemory(const DecodeOptions& options) const {
    return _codec->rowDecodeMemory(_data, options);
}

std::optional<std::uint64_t> ImageSource::decodeMemory(const DecodeOptions& options) const {
    return _codec->decodeMemory(_data, options);
}

std::span<const std::uint8_t> ImageSource::exifPreview() const {
    if (_codec->name() != "JPEG" && _codec->name() != "TIFF") return {};
    return exifPreviewJpeg(_data);
}

std::size_t ImageSource::count() const { return _codec->imageCount(_data); }

std::string_view ImageSource::type() const { return _codec->typeIdentifier(); }

} // namespace pellora
