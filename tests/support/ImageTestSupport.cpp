#include "support/ImageTestSupport.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iterator>
#include <sstream>
#include <zlib.h>

#include "platform/imageio/CodecRegistry.h"
#include "support/TestSupport.h"

namespace pellora::test {

const Codec& registeredCodec(std::string_view name) {
    for (const auto& codec : CodecRegistry::shared().codecs()) {
        if (codec->name() == name) return *codec;
    }
    ADD_FAILURE() << "no codec named " << name;
    std::abort();
}

bool magick(const std::string& arguments) { return runCommand("convert " + arguments + " 2>/dev/null") == 0; }

bool magickConvert(const std::string& input, const std::string& options, const std::string& output) {
    return magick(quoted(input) + " " + options + " " + quoted(output));
}

std::vector<std::uint16_t> magickSamples(const std::string& path, const std::string& format) {
    std::string raw;
    if (runCommand("convert " + quoted(path) + " -depth 16 -endian LSB " + format + ":- 2>/dev/null", &raw) != 0) {
        ADD_FAILURE() << "ImageMagick cannot read " << path;
        return {};
    }
    std::vector<std::uint16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
}

std::string makeSourcePng(const std::string& folder, bool withAlpha) {
    const std::string path = folder + (withAlpha ? "/source-alpha.png" : "/source.png");
    const std::string alpha = withAlpha ? " -alpha set -channel A -fx 'i/w' +channel" : "";
    EXPECT_TRUE(magick("-seed 7 -size 48x32 plasma:fractal -depth 8" + alpha + " " + quoted(path)));
    return path;
}

std::vector<std::uint16_t> samples16(const DecodedImage& image, bool keepChannels) {
    std::vector<std::uint16_t> out;
    const int channels = image.channels();
    const int colour = channels - (image.hasAlpha ? 1 : 0);
    auto sample = [&](std::uint32_t x, std::uint32_t y, int c) -> std::uint16_t {
        const std::uint8_t* p = image.pixels.data() + y * image.rowBytes + (std::size_t(x) * channels + c) * image.bytesPerSample();
        switch (image.sampleFormat) {
        case SampleFormat::UInt8: return std::uint16_t(*p * 257);
        case SampleFormat::UInt16: { std::uint16_t v; std::memcpy(&v, p, 2); return v; }
        case SampleFormat::Float32: { float v; std::memcpy(&v, p, 4); return std::uint16_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 65535)); }
        }
        return 0;
    };
    for (std::uint32_t i = 0; i < image.width * image.height; ++i) {
        const std::uint32_t x = i % image.width, y = i / image.width;
        if (keepChannels) {
            for (int c = 0; c < channels; ++c) out.push_back(sample(x, y, c));
            continue;
        }
        for (int c = 0; c < 3; ++c) out.push_back(sample(x, y, colour == 1 ? 0 : c));
        out.push_back(image.hasAlpha ? sample(x, y, colour) : 65535);
    }
    return out;
}

std::vector<std::uint8_t> to8(const std::vector<std::uint16_t>& samples) {
    std::vector<std::uint8_t> out;
    for (const std::uint16_t sample : samples) out.push_back(std::uint8_t((sample + 128) / 257));
    return out;
}

std::vector<std::uint8_t> premultiplied(std::vector<std::uint8_t> rgba) {
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        if (i % 4 != 3 && (i | 3) < rgba.size()) rgba[i] = std::uint8_t((rgba[i] * rgba[i | 3] + 127) / 255);
    }
    return rgba;
}

TestBitmap makeTestBitmap(std::uint32_t width, std::uint32_t height, bool translucent) {
    const std::size_t size = std::size_t(width) * height * 4;
    TestBitmap bitmap{width, height, Bytes(size), Bytes(size)};
    for (std::uint32_t i = 0; i < width * height; ++i) {
        const std::uint32_t x = i % width, y = i / width;
        const int r = int(x * 255 / std::max(1u, width - 1)), g = int(y * 255 / std::max(1u, height - 1));
        const bool patch = x < width / 4 && y < height / 4;
        const int straight[3] = {patch ? 200 : r, patch ? 40 : g, patch ? 90 : 128 + (r - g) / 4};
        const int alpha = translucent ? r : 255;
        for (std::size_t c = 0; c < 3; ++c) {
            bitmap.straight[i * 4 + c] = std::uint8_t(straight[c]);
            bitmap.pixels[i * 4 + c] = std::uint8_t((straight[c] * alpha + 127) / 255);
        }
        bitmap.straight[i * 4 + 3] = bitmap.pixels[i * 4 + 3] = std::uint8_t(alpha);
    }
    return bitmap;
}

::testing::AssertionResult showsStraightColours(const std::vector<std::uint16_t>& rgba, const TestBitmap& bitmap) {
    if (rgba.size() != bitmap.straight.size()) return ::testing::AssertionFailure() << "wrong sample count";
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        const int alpha = bitmap.straight[i + 3];
        if (rgba[i + 3] != alpha * 257) return ::testing::AssertionFailure() << "alpha differs at sample " << i;
        if (alpha == 0) continue;
        const int tolerance = (255 + alpha - 1) / alpha;
        for (std::size_t c = 0; c < 3; ++c) {
            const int got = (rgba[i + c] + 128) / 257;
            if (std::abs(got - bitmap.straight[i + c]) > tolerance) {
                return ::testing::AssertionFailure() << "colour " << got << " instead of " << int(bitmap.straight[i + c])
                                                     << " at sample " << i + c << " (alpha " << alpha << ")";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult showsOverWhite(const std::vector<std::uint16_t>& rgba, const TestBitmap& bitmap,
                                          int tolerance8) {
    if (rgba.size() != bitmap.straight.size()) return ::testing::AssertionFailure() << "wrong sample count";
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        const double alpha = bitmap.straight[i + 3] / 255.0;
        if (rgba[i + 3] != 65535) return ::testing::AssertionFailure() << "not opaque at sample " << i;
        for (std::size_t c = 0; c < 3; ++c) {
            const double expected = bitmap.straight[i + c] * alpha + 255.0 * (1 - alpha);
            const double got = rgba[i + c] / 257.0;
            if (std::abs(got - expected) > tolerance8 + 0.5) {
                return ::testing::AssertionFailure() << "colour " << got << " instead of " << expected << " at sample " << i + c;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult refusedWithOneLine(const Codec& codec, std::span<const std::uint8_t> bytes,
                                              const DecodeOptions& options) {
    LogCapture log;
    if (codec.decode(bytes, options) != nullptr) return ::testing::AssertionFailure() << "decoded";
    const auto lines = log.lines();
    if (lines.size() != 1) return ::testing::AssertionFailure() << lines.size() << " log lines";
    if (!lines[0].starts_with(std::string(codec.name()) + ": ")) {
        return ::testing::AssertionFailure() << "log line without the codec's name: " << lines[0];
    }
    return ::testing::AssertionSuccess() << lines[0];
}

namespace {

void put(std::string& out, std::uint32_t value, int bytes, bool bigEndian) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * (bigEndian ? bytes - 1 - i : i)));
}

} // namespace

std::string pngChunk(const std::string& type, const std::string& data) {
    std::string chunk;
    put(chunk, std::uint32_t(data.size()), 4, true);
    chunk += type + data;
    const std::string body = type + data;
    put(chunk, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))), 4, true);
    return chunk;
}

std::string bmpFile(std::int32_t width, std::int32_t height, int bitsPerPixel, int compression,
                    const std::string& palette, const std::string& pixels) {
    const auto offset = std::uint32_t(14 + 40 + palette.size());
    std::string bmp = "BM";
    for (const auto& [value, bytes] : std::initializer_list<std::pair<std::uint32_t, int>>{
             {offset + std::uint32_t(pixels.size()), 4}, {0, 4}, {offset, 4}, {40, 4}, {std::uint32_t(width), 4},
             {std::uint32_t(height), 4}, {1, 2}, {std::uint32_t(bitsPerPixel), 2}, {std::uint32_t(compression), 4},
             {std::uint32_t(pixels.size()), 4}, {2835, 4}, {2835, 4}, {std::uint32_t(palette.size() / 4), 4}, {0, 4}}) {
        put(bmp, value, bytes, false);
    }
    return bmp + palette + pixels;
}

std::vector<int> readJsonIntegers(const std::string& path) {
    std::string text = readFile(path);
    std::replace_if(text.begin(), text.end(), [](unsigned char ch) { return !std::isdigit(ch); }, ' ');
    std::istringstream numbers(text);
    return {std::istream_iterator<int>(numbers), std::istream_iterator<int>()};
}

} // namespace pellora::test
