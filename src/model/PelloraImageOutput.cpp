// Rendering and writing a record's output: orientation transform, decoding,
// drawing into the output bitmap, and the file write.
#include <cmath>
#include <fmt/format.h>
#include <new>

#include "model/PelloraImage.h"
#include "model/RecordReadOnce.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Resampler.h"
#include "platform/imageio/CodecRegistry.h"
#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/ImageSource.h"

namespace pellora {
namespace {

// A quarter turn in single precision (0x3FC90FDB).
constexpr float kQuarterTurn = static_cast<float>(M_PI_2);

std::shared_ptr<const ImageSource> openInputSource(const std::string& path) {
    auto source = RecordReadOnce::openSource(path);
    if (!source) Log::line("*** Error: inputCGImage: Image source is NULL.");
    return source;
}

// The size the stored image is drawn at: the output size, or its transpose
// when the output is turned upright from a turned orientation.
Size drawnSize(Size output, int tag, bool hardRotate) {
    if (hardRotate && isTurnedOrientation(tag)) return Size{output.height, output.width};
    return output;
}

// Decoding at a reduced scale keeps at least twice the drawn size in each
// direction: the filter then still has the detail it needs not to alias.
DecodeOptions decodeOptionsFor(Size drawn) {
    DecodeOptions options;
    options.minWidth = static_cast<std::uint32_t>(std::min(2.0f * drawn.width, 1e9f));
    options.minHeight = static_cast<std::uint32_t>(std::min(2.0f * drawn.height, 1e9f));
    return options;
}

} // namespace

Rect PelloraImage::outputRectWithOrientedContext(BitmapContext& context, float w, float h) {
    if (!UserDefaults::standard().boolForKey(QVXDefaultsKey_hardRotate)) return makeRect(0, 0, w, h);
    return rectWithOrientedContext(context, orientationTagOf(inputMetadata()), w, h);
}

Rect rectWithOrientedContext(BitmapContext& context, int tag, float w, float h) {
    switch (tag) {
    case 1: return makeRect(0, 0, w, h);
    case 2:
        context.scale(-1, 1);
        context.translate(-w, 0);
        return makeRect(0, 0, w, h);
    case 3:
        context.scale(-1, -1);
        context.translate(-w, -h);
        return makeRect(0, 0, w, h);
    case 4:
        context.scale(1, -1);
        context.translate(0, -h);
        return makeRect(0, 0, w, h);
    case 5:
        context.translate(0, h);
        context.scale(1, -1);
        context.rotate(kQuarterTurn);
        context.translate(0, -w);
        return makeRect(0, 0, h, w);
    case 6:
        context.translate(0, h);
        context.scale(1, -1);
        context.rotate(kQuarterTurn);
        context.translate(0, -w);
        context.scale(1, -1);
        context.translate(0, -w);
        return makeRect(0, 0, h, w);
    case 7:
        context.translate(0, h);
        context.scale(1, -1);
        context.rotate(-kQuarterTurn);
        context.translate(-h, 0);
        return makeRect(0, 0, h, w);
    case 8:
        context.translate(0, h);
        context.scale(1, -1);
        context.rotate(-kQuarterTurn);
        context.translate(-h, 0);
        context.scale(1, -1);
        context.translate(0, -w);
        return makeRect(0, 0, h, w);
    default:
        Log::line(fmt::format("*** Error: rotateContext: Invalid image orientation: {}", tag));
        return makeRect(0, 0, w, h);
    }
}

DecodedImagePtr PelloraImage::decodeInput(const DecodeOptions& options) {
    const auto source = openInputSource(_inputPath);
    return source ? source->decodeFirstImage(options) : nullptr;
}

std::optional<Bitmap> PelloraImage::renderOutput() {
    const auto source = openInputSource(_inputPath);
    // The size and orientation are read from the properties before decoding,
    // to choose the decoding scale. A file whose header is unreadable cannot be
    // decoded either: it fails here as a decoding failure, before the
    // properties would be asked for (and logged as missing).
    if (!source || !source->header()) {
        Log::line("*** Error: outputCGImage: Image not created from image source.");
        return std::nullopt;
    }
    const Size size = outputSize();
    const bool hardRotate = UserDefaults::standard().boolForKey(QVXDefaultsKey_hardRotate);
    const Size drawn = drawnSize(size, orientationTagOf(inputMetadata()), hardRotate);
    // Codecs that can decode a band of rows at a time feed the resampler
    // directly, so the record never holds its whole decoded source.
    const DecodeOptions options = decodeOptionsFor(drawn);
    DecodedImagePtr image;
    std::unique_ptr<RowDecoder> rows;
    if (source->decodesRows()) {
        rows = source->openRowDecoder(options);
    } else {
        image = source->decodeFirstImage(options);
    }
    if (!image && !rows) {
        Log::line("*** Error: outputCGImage: Image not created from image source.");
        return std::nullopt;
    }

    // Cleared to transparent: a source with alpha is composited onto it.
    std::optional<Bitmap> output =
        Bitmap::cleared(static_cast<std::uint32_t>(size.width), static_cast<std::uint32_t>(size.height));
    if (!output) {
        Log::line("*** Error: outputCGImage: Memory not allocated!");
        return std::nullopt;
    }
    const auto context = BitmapContext::create(output->pixels.data(), output->pixels.size(), output->width,
                                               output->height, output->rowBytes);
    if (!context) {
        Log::line("*** Error: outputCGImage: Context not created!");
        return std::nullopt;
    }
    context->saveGState();
    const Rect rect = outputRectWithOrientedContext(*context, size.width, size.height);
    // A refused draw has logged why; a blank output would be a failure reported as success.
    const bool painted = rows ? context->drawRows(rect, *rows) : context->drawImage(rect, *image);
    context->restoreGState();
    if (!painted) {
        // Rows that could not be decoded are a decoding failure, as they are for a whole decode.
        if (rows && rows->failed()) Log::line("*** Error: outputCGImage: Image not created from image source.");
        return std::nullopt;
    }
    return output;
}

std::optional<std::uint64_t> PelloraImage::outputMemory(std::string_view type) {
    std::optional<std::uint64_t> bytes;
    // Whatever fails here fails again, and is logged, when the output is written.
    Log::collectLines([&] {
        const auto source = RecordReadOnce::openHeaderSource(_inputPath);
        const auto header = source ? source->header() : std::nullopt;
        if (!header) return;
        const Size size = outputSize();
        const bool hardRotate = UserDefaults::standard().boolForKey(QVXDefaultsKey_hardRotate);
        const Size drawn = drawnSize(size, orientationTagOf(inputMetadata()), hardRotate);
        const DecodeOptions options = decodeOptionsFor(drawn);
        const bool byRows = source->decodesRows();
        const auto decode = byRows ? source->rowDecodeMemory(options) : source->decodeMemory(options);
        if (!decode) return;
        // The decoded size at the scale the codec chooses is not known from
        // here; the full size bounds the resampler's source rows.
        const auto outWidth = static_cast<std::uint32_t>(size.width);
        const auto outHeight = static_cast<std::uint32_t>(size.height);
        const std::uint64_t bitmap = std::uint64_t{outWidth} * outHeight * 4;
        const std::uint64_t resampling = Resampler::workingBytes(header->width, header->height,
                                                                 static_cast<std::uint32_t>(drawn.width),
                                                                 static_cast<std::uint32_t>(drawn.height));
        // Rows that are converted before resampling are held once more.
        const std::uint64_t convertedRow = byRows ? std::uint64_t{header->width} * 16 : 0;
        const Codec* encoder = CodecRegistry::shared().codecForTypeIdentifier(type);
        const std::uint64_t encoding = encoder ? encoder->encodeMemory(outWidth, outHeight) : 0;
        bytes = bitmap + std::max(*decode + resampling + convertedRow, encoding);
    });
    return bytes;
}

bool PelloraImage::writeToPath(const std::string& path, std::string_view type, const PlistDictionary& properties) {
    PendingOutput output = writeToPendingFile(path, type, properties);
    return output.file.isOpen() && output.file.commit(true) == PendingFile::Commit::Done;
}

PelloraImage::PendingOutput PelloraImage::writeToPendingFile(const std::string& path, std::string_view type,
                                                             const PlistDictionary& properties) {
    const RecordReadOnce fileReadOnce(*this);
    PendingOutput output;
    const std::optional<Bitmap> image = renderOutput();
    if (!image) {
        output.failure = ExportFailureReason::CannotDecode;
        return output;
    }
    output.failure = ExportFailureReason::Other;  // until the file is written
    const auto destination = ImageDestination::createWithPath(path, type);
    if (!destination) return output;
    PlistDictionary merged = properties;
    if (UserDefaults::standard().boolForKey(QVXDefaultsKey_preserveMetadata)) {
        const PlistValue metadata = modifiedImageMetadata();
        for (const auto& [key, value] : metadata.dictionaryValue()) merged.set(key, value);
    }
    destination->addImage(image->view(), merged);
    output.file = destination->finalizeToPendingFile();
    if (output.file.isOpen()) {
        output.failure = ExportFailureReason::None;
    } else if (output.file.error() != 0) {
        output.failure = failureReasonForError(output.file.error());
    }
    return output;
}

} // namespace pellora
