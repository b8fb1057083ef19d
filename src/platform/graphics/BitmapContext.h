#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Geometry.h"
#include "platform/imageio/Image.h"
#include "platform/imageio/RowDecoder.h"

namespace pellora {

// A drawing context on a caller's buffer of 8-bit RGBA pixels, premultiplied
// alpha last, sRGB, rows top first. User space has its origin at the lower
// left with y upward; the current transformation matrix (CTM) maps it to the
// bitmap. Each translate, scale or rotate is concatenated so that the latest
// call applies first to user-space points.
class BitmapContext {
public:
    // Null when the sizes cannot describe a bitmap in the buffer of
    // bufferLength bytes (no buffer, a zero side, rows shorter than width * 4,
    // a buffer shorter than bytesPerRow * height). Logs nothing: the caller reports it.
    static std::unique_ptr<BitmapContext> create(std::uint8_t* data, std::size_t bufferLength, std::uint32_t width,
                                                 std::uint32_t height, std::size_t bytesPerRow);

    std::uint32_t width() const { return _width; }
    std::uint32_t height() const { return _height; }
    std::size_t bytesPerRow() const { return _bytesPerRow; }

    void translate(float tx, float ty);
    void scale(float sx, float sy);
    void rotate(float angle);  // radians, counter-clockwise
    const AffineTransform& ctm() const { return _ctm; }

    void saveGState();
    void restoreGState();  // a restore without a matching save is logged and ignored

    // Draws the image scaled into `rect` under the CTM, the image's top row at
    // the rectangle's highest y, composited source-over. Supported CTMs are
    // those made of mirrors, quarter turns, scaling and whole-pixel offsets;
    // any other is refused with one log line and nothing is drawn. Returns
    // false, after one log line, when nothing could be drawn.
    bool drawImage(const Rect& rect, const DecodedImage& image);

    // The same for an image decoded a band of rows at a time: each row is
    // decoded, converted and resampled as the resampler reaches it, so the
    // whole decoded image is never held. false, after one log line, when
    // nothing could be drawn or the decoder failed part way (what was drawn
    // then stays in the bitmap).
    bool drawRows(const Rect& rect, RowDecoder& decoder);

    // A copy of the context's pixels.
    Bitmap createImage() const;

private:
    using RowFiller = std::function<void(std::uint32_t row, std::uint8_t* rgba)>;
    bool drawResampled(const Rect& rect, std::uint32_t width, std::uint32_t height, const RowFiller& fill);

    BitmapContext(std::uint8_t* data, std::uint32_t width, std::uint32_t height, std::size_t bytesPerRow)
        : _data(data), _width(width), _height(height), _bytesPerRow(bytesPerRow) {}

    std::uint8_t* _data;
    std::uint32_t _width;
    std::uint32_t _height;
    std::size_t _bytesPerRow;
    AffineTransform _ctm;
    std::vector<AffineTransform> _savedStates;
};

} // namespace pellora
