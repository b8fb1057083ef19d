#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/imageio/Codec.h"
#include "platform/imageio/Image.h"
#include "platform/imageio/ImageLimits.h"

// Helpers the codecs share: limit and size checks before allocating, the
// encoder's view of the premultiplied input, and in-memory streams for
// libraries that read and write through callbacks.
namespace pellora {

// a × b without overflow of size_t, or nullopt.
std::optional<std::size_t> checkedMultiply(std::uint64_t a, std::uint64_t b);

// True when the bitmap can be encoded (pixels, non-empty, rows long enough,
// every row inside the buffer); otherwise logs one line starting with the
// codec's name.
bool isEncodableBitmap(std::string_view codec, const RgbaBitmapView& bitmap);

// The resolution to write: dpi when it is a positive finite number, else 72.
double resolutionToWrite(double dpi);

// Row y of the encoder input (8-bit RGBA, premultiplied) as straight RGBA
// (withAlpha) or as RGB composited over white. out holds width × 4 or × 3 bytes.
void straightRow(const RgbaBitmapView& bitmap, std::uint32_t y, bool withAlpha, std::uint8_t* out);

// Read position over bytes owned by the caller.
struct MemoryInput {
    std::span<const std::uint8_t> data;
    std::uint64_t position = 0;

    std::size_t read(void* destination, std::size_t count);
    // Moves to an absolute position; false (position unchanged) when negative.
    bool seek(std::int64_t offset);
};

// A growable byte buffer written at a movable position, as a file would be.
struct MemoryOutput {
    std::vector<std::uint8_t> bytes;
    std::uint64_t position = 0;

    // false when the buffer cannot grow.
    bool write(const void* source, std::size_t count);
    std::size_t read(void* destination, std::size_t count);
    bool seek(std::int64_t offset);
};

} // namespace pellora
