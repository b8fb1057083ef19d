#pragma once

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <gtest/gtest.h>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/imageio/Codec.h"
#include "platform/imageio/Image.h"
#include "support/TestSupport.h"

// Shared by the image tests: the registered codecs, ImageMagick as the
// independent reference, test pictures and pixel comparisons.
namespace pellora::test {

using Bytes = std::vector<std::uint8_t>;

// The bytes of a string (a file read with readFile), for the codecs.
inline std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

const Codec& registeredCodec(std::string_view name);

// Runs `convert <arguments>`; false when ImageMagick fails.
bool magick(const std::string& arguments);
// Runs `convert 'input' <options> 'output'`.
bool magickConvert(const std::string& input, const std::string& options, const std::string& output);
// ImageMagick's decoding of path as 16-bit samples of a raw format ("rgba", "gray", "cmyk").
std::vector<std::uint16_t> magickSamples(const std::string& path, const std::string& format);

// A 48 × 32 plasma picture (8-bit, a fixed seed): smooth areas and detail.
// With alpha, opacity rises from left to right.
std::string makeSourcePng(const std::string& folder, bool withAlpha = false);

// Decoded samples widened to 16 bits: as RGBA (grey repeated, opaque when
// there is no alpha) or as the image's own channels (keepChannels).
std::vector<std::uint16_t> samples16(const DecodedImage& image, bool keepChannels = false);
// 16-bit samples rounded to 8 bits, as ImageMagick rounds them.
std::vector<std::uint8_t> to8(const std::vector<std::uint16_t>& samples);
// The image's RGBA (as samples16) rounded to 8 bits.
inline std::vector<std::uint8_t> rgba8(const DecodedImage& image) { return to8(samples16(image)); }
// 8-bit RGBA with each colour multiplied by alpha, rounded as the renderer rounds.
std::vector<std::uint8_t> premultiplied(std::vector<std::uint8_t> rgba);

// The largest difference between two sample lists; INT_MAX when their lengths
// differ, so that no tolerance accepts them.
template <typename Sample>
int maxDifference(const std::vector<Sample>& a, const std::vector<Sample>& b) {
    if (a.size() != b.size()) return INT_MAX;
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}
// As maxDifference over RGBA samples, ignoring the colour of pixels fully transparent in both.
template <typename Sample>
int maxVisibleDifference(const std::vector<Sample>& a, const std::vector<Sample>& b) {
    if (a.size() != b.size() || a.size() % 4 != 0) return INT_MAX;
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); i += 4) {
        const bool hidden = a[i + 3] == 0 && b[i + 3] == 0;
        for (std::size_t c = hidden ? 3 : 0; c < 4; ++c) worst = std::max(worst, std::abs(int(a[i + c]) - int(b[i + c])));
    }
    return worst;
}

// An 8-bit premultiplied RGBA bitmap like the renderer's: smooth gradients with
// a flat patch in the upper-left quarter; when translucent, alpha rises from 0
// on the left to 255 on the right.
struct TestBitmap {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    Bytes pixels;    // premultiplied
    Bytes straight;  // the colours before premultiplication
    RgbaBitmapView view() const { return {pixels.data(), width, height, std::size_t(width) * 4, pixels.size()}; }
};
TestBitmap makeTestBitmap(std::uint32_t width, std::uint32_t height, bool translucent);

// RGBA samples (16-bit) that show the bitmap's straight colours, within what
// premultiplying by alpha loses (255 / alpha), and its alpha exactly.
::testing::AssertionResult showsStraightColours(const std::vector<std::uint16_t>& rgba, const TestBitmap& bitmap);
// RGBA samples (16-bit) that show the bitmap composited over white, opaque.
::testing::AssertionResult showsOverWhite(const std::vector<std::uint16_t>& rgba, const TestBitmap& bitmap,
                                          int tolerance8);

// Decoding fails with exactly one log line, which starts with the codec's name.
::testing::AssertionResult refusedWithOneLine(const Codec& codec, std::span<const std::uint8_t> bytes,
                                              const DecodeOptions& options = {});

// Files built byte by byte: a PNG chunk with its length and checksum, and a BMP
// with a BITMAPINFOHEADER, the given palette (BGRx entries) and pixel data.
std::string pngChunk(const std::string& type, const std::string& data);
std::string bmpFile(std::int32_t width, std::int32_t height, int bitsPerPixel, int compression,
                    const std::string& palette, const std::string& pixels);

// The integers of a JSON array file, in order.
std::vector<int> readJsonIntegers(const std::string& path);

} // namespace pellora::test
