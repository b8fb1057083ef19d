#include "platform/graphics/BitmapContext.h"

#include <cstring>
#include <new>

#include "platform/foundation/Log.h"
#include "platform/graphics/AxisAlignedPlacement.h"
#include "platform/graphics/ColorConversion.h"
#include "platform/graphics/Resampler.h"
#include "platform/graphics/SourceOver.h"

namespace pellora {

std::unique_ptr<BitmapContext> BitmapContext::create(std::uint8_t* data, std::size_t bufferLength,
                                                     std::uint32_t width, std::uint32_t height,
                                                     std::size_t bytesPerRow) {
    const RgbaBitmapView layout{data, width, height, bytesPerRow, bufferLength};
    if (!layout.isWithinBuffer()) {
        return nullptr;
    }
    return std::unique_ptr<BitmapContext>(new BitmapContext(data, width, height, bytesPerRow));
}

void BitmapContext::translate(float tx, float ty) {
    _ctm = _ctm.translated(tx, ty);
}

void BitmapContext::scale(float sx, float sy) {
    _ctm = _ctm.scaled(sx, sy);
}

void BitmapContext::rotate(float angle) {
    _ctm = _ctm.rotated(angle);
}

void BitmapContext::saveGState() {
    _savedStates.push_back(_ctm);
}

void BitmapContext::restoreGState() {
    if (_savedStates.empty()) {
        Log::line("BitmapContext: restoreGState without a saved state; ignored");
        return;
    }
    _ctm = _savedStates.back();
    _savedStates.pop_back();
}

bool BitmapContext::drawImage(const Rect& rect, const DecodedImage& image) {
    if (!hasConsistentLayout(image)) {
        Log::line("BitmapContext: drawImage: the image's sizes do not match its pixel data; nothing drawn");
        return false;
    }
    try {
        SrgbRowConverter converter(image);
        return drawResampled(rect, image.width, image.height,
                             [&](std::uint32_t row, std::uint8_t* rgba) { converter.convertRow(row, rgba); });
    } catch (const std::bad_alloc&) {
        Log::line("BitmapContext: drawImage: not enough memory to resample the image; nothing drawn");
        return false;
    }
}

bool BitmapContext::drawRows(const Rect& rect, RowDecoder& decoder) {
    const DecodedImage& layout = decoder.layout();
    if (layout.width == 0 || layout.height == 0) {
        Log::line("BitmapContext: drawImage: the image has no pixels; nothing drawn");
        return false;
    }
    try {
        if (decoder.deliversOpaqueRgba()) {
            // The decoder writes the resampler's source row itself.
            return drawResampled(rect, layout.width, layout.height, [&](std::uint32_t row, std::uint8_t* rgba) {
                if (!decoder.readRow(row, rgba)) std::memset(rgba, 0, std::size_t{layout.width} * 4);
            }) && !decoder.failed();
        }
        SrgbRowConverter converter(layout);
        std::vector<std::uint8_t> samples(layout.rowBytes);
        return drawResampled(rect, layout.width, layout.height, [&](std::uint32_t row, std::uint8_t* rgba) {
            if (decoder.readRow(row, samples.data())) {
                converter.convertSamples(samples.data(), rgba);
            } else {
                std::memset(rgba, 0, std::size_t{layout.width} * 4);
            }
        }) && !decoder.failed();
    } catch (const std::bad_alloc&) {
        Log::line("BitmapContext: drawImage: not enough memory to resample the image; nothing drawn");
        return false;
    }
}

// Resamples an image of width x height, whose rows `fill` gives as sRGB
// RGBA, into the rectangle under the CTM. May throw std::bad_alloc.
bool BitmapContext::drawResampled(const Rect& rect, std::uint32_t width, std::uint32_t height, const RowFiller& fill) {
    const auto placement = AxisAlignedPlacement::compute(_ctm, rect, _width, _height);
    if (!placement) {
        Log::line("BitmapContext: drawImage: only mirrors, quarter turns, scaling and whole-pixel offsets "
                  "are supported; nothing drawn");
        return false;
    }
    if (placement->isEmpty()) {
        return true;
    }
    const Resampler::Request request{width,
                                     height,
                                     placement->outWidth,
                                     placement->outHeight,
                                     placement->columnBegin,
                                     placement->columnEnd,
                                     placement->rowBegin,
                                     placement->rowEnd};
    Resampler::resample(request, fill, [&](std::uint32_t row, const std::uint8_t* rgba) {
        compositeRow(*placement, row, rgba, _data, _bytesPerRow);
    });
    return true;
}

Bitmap BitmapContext::createImage() const {
    Bitmap bitmap{_width, _height, std::size_t(_width) * 4, {}};
    bitmap.pixels.resize(bitmap.rowBytes * _height);
    for (std::uint32_t y = 0; y < _height; ++y) {
        std::memcpy(bitmap.pixels.data() + y * bitmap.rowBytes, _data + y * _bytesPerRow, bitmap.rowBytes);
    }
    return bitmap;
}

} // namespace pellora
