#pragma once

#include <cstdint>
#include <functional>

namespace pellora {

// Separable Lanczos-3 resizing of 8-bit premultiplied RGBA, a horizontal pass
// then a vertical one. Only a window of the output is computed (the part that
// lands inside the bitmap), and only the source rows that window needs are read,
// each once, in order; the rows in between are held only while output rows use them.
class Resampler {
public:
    struct Request {
        std::uint32_t inWidth = 0;
        std::uint32_t inHeight = 0;
        std::uint32_t outWidth = 0;
        std::uint32_t outHeight = 0;
        std::uint32_t columnBegin = 0;  // output window, half-open
        std::uint32_t columnEnd = 0;
        std::uint32_t rowBegin = 0;
        std::uint32_t rowEnd = 0;
    };

    // Fills `rgba` (inWidth pixels) with source row `row`; rows are asked for in increasing order.
    using RowSource = std::function<void(std::uint32_t row, std::uint8_t* rgba)>;
    // Receives output row `row`, the window's columns only, as valid premultiplied RGBA.
    using RowSink = std::function<void(std::uint32_t row, const std::uint8_t* rgba)>;

    // The memory resample() holds for an image of inWidth x inHeight drawn at
    // outWidth x outHeight (the whole output; a window of it takes no more).
    static std::uint64_t workingBytes(std::uint32_t inWidth, std::uint32_t inHeight, std::uint32_t outWidth,
                                      std::uint32_t outHeight);

    // May throw std::bad_alloc for huge requests; the caller catches it.
    static void resample(const Request& request, const RowSource& source, const RowSink& sink);
};

} // namespace pellora
