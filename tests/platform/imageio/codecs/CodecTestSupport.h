#pragma once

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/imageio/Codec.h"
#include "platform/imageio/Image.h"

// Shared by the codec tests: the registered codecs, ImageMagick as the
// independent reference, and pixel comparisons.
namespace pellora::test {

using Bytes = std::vector<std::uint8_t>;

const Codec& registeredCodec(std::string_view name);
Bytes readBytes(const std::string& path);
void writeBytes(const std::string& path, const Bytes& bytes);

// Runs `convert <arguments>`; false when ImageMagick fails.
bool magick(const std::string& arguments);
// Runs `convert 'input' <options> 'output'`.
bool magickConvert(const std::string& input, const std::string& options, const std::string& output);
// The path in single quotes, for a shell command.
std::string quoted(const std::string& path);
// ImageMagick's decoding of path as 16-bit little-endian samples of a raw
// format ("rgba", "cmyk", "cmyka").
std::vector<std::uint16_t> magickSamples(const std::string& path, const std::string& format);

// A 48 × 32 plasma picture (8-bit, a fixed seed): smooth areas and detail.
// With alpha, opacity rises from left to right.
std::string makeSourcePng(const std::string& folder, bool withAlpha = false);
// An sRGB ICC profile made by Little CMS; it carries the time it was made.
Bytes makeIccProfile();

// Decoded samples widened to 16 bits: as RGBA (grey repeated, opaque when
// there is no alpha) or as the image's own channels (keepChannels).
std::vector<std::uint16_t> samples16(const DecodedImage& image, bool keepChannels = false);
// The largest difference between two sample lists; 65535 when their lengths differ.
int maxDifference(const std::vector<std::uint16_t>& a, const std::vector<std::uint16_t>& b);
// As maxDifference over RGBA samples, ignoring the colour of pixels fully
// transparent in both.
int maxVisibleDifference(const std::vector<std::uint16_t>& a, const std::vector<std::uint16_t>& b);

// An 8-bit premultiplied RGBA bitmap like the renderer's, made from straight
// colours (a ramp) whose alpha falls from 255 on the left to 0 on the right.
struct TestBitmap {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    Bytes pixels;    // premultiplied
    Bytes straight;  // the colours before premultiplication
    RgbaBitmapView view() const { return {pixels.data(), width, height, std::size_t(width) * 4}; }
};
TestBitmap makeTranslucentBitmap(std::uint32_t width, std::uint32_t height);

// RGBA samples (16-bit) that show the bitmap's straight colours, within what
// premultiplying by alpha loses (255 / alpha), and its alpha exactly.
::testing::AssertionResult showsStraightColours(const std::vector<std::uint16_t>& rgba, const TestBitmap& bitmap);
// RGBA samples (16-bit) that show the bitmap composited over white, opaque.
::testing::AssertionResult showsOverWhite(const std::vector<std::uint16_t>& rgba, const TestBitmap& bitmap,
                                          int tolerance8);

// Decoding fails with exactly one log line, which starts with the codec's name.
::testing::AssertionResult refusedWithOneLine(const Codec& codec, const Bytes& bytes,
                                              const DecodeOptions& options = {});

// The same bytes with the tail cut off at `keep`.
Bytes truncated(const Bytes& bytes, std::size_t keep);

// Encoder options without metadata blocks.
inline EncodeOptions encodeOptions(std::optional<float> quality, bool hasAlpha, double dpi) {
    EncodeOptions options;
    options.quality = quality;
    options.hasAlpha = hasAlpha;
    options.dpi = dpi;
    return options;
}

// Encodes the bitmap and writes the bytes to path; false when the codec fails.
inline bool encodeToFile(const Codec& codec, const TestBitmap& bitmap, const EncodeOptions& options,
                         const std::string& path) {
    Bytes encoded;
    if (!codec.encode(bitmap.view(), options, encoded)) return false;
    writeBytes(path, encoded);
    return true;
}

} // namespace pellora::test
