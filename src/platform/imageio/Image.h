#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace pellora {

enum class ColorModel { Gray, RGB, CMYK };
enum class SampleFormat { UInt8, UInt16, Float32 };

// What a codec learns from a file's header, without decoding pixels.
struct ImageHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitsPerComponent = 8;          // as stored: 1, 2, 4, 8, 16 or 32 (float)
    ColorModel colorModel = ColorModel::RGB;
    bool hasAlpha = false;
    bool isIndexed = false;
    bool isFloat = false;
    bool hasResolution = false;        // the format's own resolution fields were present
    double dpiWidth = 72.0;
    double dpiHeight = 72.0;
    std::vector<std::uint8_t> iccProfile;  // empty when the file carries none
};

// A decoded first image: immutable once made. Samples are interleaved, colour
// components first and alpha last (not premultiplied); 16-bit samples in native
// byte order; float samples nominally in [0, 1].
struct DecodedImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    ColorModel colorModel = ColorModel::RGB;
    SampleFormat sampleFormat = SampleFormat::UInt8;
    bool hasAlpha = false;
    bool cmykInverted = false;         // Adobe CMYK JPEGs store 255 - ink
    std::size_t rowBytes = 0;
    std::vector<std::uint8_t> pixels;  // rowBytes * height bytes
    std::vector<std::uint8_t> iccProfile;

    int channels() const {
        const int colour = colorModel == ColorModel::Gray ? 1 : colorModel == ColorModel::RGB ? 3 : 4;
        return colour + (hasAlpha ? 1 : 0);
    }
    int bytesPerSample() const {
        return sampleFormat == SampleFormat::UInt8 ? 1 : sampleFormat == SampleFormat::UInt16 ? 2 : 4;
    }
};

using DecodedImagePtr = std::shared_ptr<const DecodedImage>;

// The renderer's output and every encoder's input: 8-bit RGBA, premultiplied
// alpha last, sRGB. byteCount is the length of the buffer behind pixels.
struct RgbaBitmapView {
    const std::uint8_t* pixels = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t rowBytes = 0;
    std::size_t byteCount = 0;

    // True when the sizes describe a non-empty bitmap whose every row, at
    // rowBytes apart, lies inside the buffer: readers may then touch
    // rowBytes * height bytes.
    bool isWithinBuffer() const {
        std::size_t needed = 0;
        return pixels != nullptr && width > 0 && height > 0 && rowBytes / 4 >= width &&
               !__builtin_mul_overflow(rowBytes, std::size_t{height}, &needed) && needed <= byteCount;
    }
};

} // namespace pellora
