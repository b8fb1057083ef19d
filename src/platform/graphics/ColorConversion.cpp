#include "platform/graphics/ColorConversion.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/graphics/IccTransformCache.h"

namespace pellora {

namespace {

std::uint8_t wordToByte(std::uint16_t v) {
    return std::uint8_t((std::uint32_t(v) * 255 + 32767) / 65535);
}

float loadFloat(const std::uint8_t* p) {
    float v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::uint16_t loadWord(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// NaN and values out of [0, 1] are clamped; NaN counts as 0.
double unitClamp(float v) {
    return v > 0.0f ? std::min(double(v), 1.0) : 0.0;
}

std::uint8_t floatToByte(float v) {
    return std::uint8_t(std::lround(unitClamp(v) * 255.0));
}

std::uint16_t floatToWord(float v) {
    return std::uint16_t(std::lround(unitClamp(v) * 65535.0));
}

// round(c * a / 255); the quotient is never exactly half-way, as 255 is odd.
std::uint8_t premultiply(std::uint32_t colour, std::uint32_t alpha) {
    return std::uint8_t((colour * alpha + 127) / 255);
}

std::uint8_t cmykToChannel(std::uint32_t ink, std::uint32_t black) {
    return std::uint8_t(((255 - ink) * (255 - black) + 127) / 255);
}

// Writes each pixel's colour with `colourOf`, then its alpha (last sample, or
// opaque), premultiplied.
template <typename ColourOf>
void convertPixels(const std::uint8_t* samples, std::uint8_t* rgba, std::uint32_t width, int channels, bool alpha,
                   ColourOf colourOf) {
    for (std::uint32_t x = 0; x < width; ++x, samples += channels, rgba += 4) {
        colourOf(samples, rgba);
        const std::uint8_t a = alpha ? samples[channels - 1] : 255;
        if (a != 255) {
            rgba[0] = premultiply(rgba[0], a);
            rgba[1] = premultiply(rgba[1], a);
            rgba[2] = premultiply(rgba[2], a);
        }
        rgba[3] = a;
    }
}

} // namespace

bool hasConsistentLayout(const DecodedImage& image) {
    if (image.width == 0 || image.height == 0) {
        return false;
    }
    const std::size_t pixelBytes = std::size_t(image.channels()) * std::size_t(image.bytesPerSample());
    const std::size_t maxSize = std::numeric_limits<std::size_t>::max();
    if (image.width > maxSize / pixelBytes) {
        return false;
    }
    const std::size_t usedRowBytes = image.width * pixelBytes;
    if (image.rowBytes < usedRowBytes || image.height - 1 > (maxSize - usedRowBytes) / image.rowBytes) {
        return false;
    }
    return image.pixels.size() >= image.rowBytes * (image.height - 1) + usedRowBytes;
}

SrgbRowConverter::SrgbRowConverter(const DecodedImage& image) : _image(image) {
    const std::size_t samples = std::size_t(image.width) * std::size_t(image.channels());
    if (!image.iccProfile.empty()) {
        const IccSourceFormat format{image.colorModel,
                                     image.sampleFormat == SampleFormat::UInt8 ? 1 : 2,
                                     image.hasAlpha, image.cmykInverted};
        _transform = IccTransformCache::transformToSrgb(image.iccProfile, format);
    }
    if (_transform != nullptr && image.sampleFormat == SampleFormat::Float32) {
        _words.resize(samples);
    }
    if (_transform == nullptr && image.sampleFormat != SampleFormat::UInt8) {
        _bytes.resize(samples);
    }
}

SrgbRowConverter::~SrgbRowConverter() = default;

void SrgbRowConverter::convertRow(std::uint32_t row, std::uint8_t* rgba) {
    convertSamples(_image.pixels.data() + std::size_t(row) * _image.rowBytes, rgba);
}

void SrgbRowConverter::convertSamples(const std::uint8_t* source, std::uint8_t* rgba) {
    if (_transform != nullptr) {
        convertTagged(source, rgba);
        return;
    }
    const std::size_t samples = std::size_t(_image.width) * std::size_t(_image.channels());
    switch (_image.sampleFormat) {
    case SampleFormat::UInt8:
        convertUntagged(source, rgba);
        return;
    case SampleFormat::UInt16:
        for (std::size_t i = 0; i < samples; ++i) {
            _bytes[i] = wordToByte(loadWord(source + i * 2));
        }
        break;
    case SampleFormat::Float32:
        for (std::size_t i = 0; i < samples; ++i) {
            _bytes[i] = floatToByte(loadFloat(source + i * 4));
        }
        break;
    }
    convertUntagged(_bytes.data(), rgba);
}

void SrgbRowConverter::convertUntagged(const std::uint8_t* samples, std::uint8_t* rgba) const {
    const std::uint32_t width = _image.width;
    const int channels = _image.channels();
    const bool alpha = _image.hasAlpha;
    switch (_image.colorModel) {
    case ColorModel::Gray:
        convertPixels(samples, rgba, width, channels, alpha, [](const std::uint8_t* s, std::uint8_t* rgb) {
            rgb[0] = rgb[1] = rgb[2] = s[0];
        });
        return;
    case ColorModel::RGB:
        if (!alpha && channels == 3 && width > 0) {
            // The common case (camera JPEGs): each pixel read as a 32-bit word
            // (its last byte belongs to the next pixel) and made opaque.
            const std::uint32_t opaque = std::endian::native == std::endian::little ? 0xFF000000u : 0xFFu;
            for (std::uint32_t x = 0; x + 1 < width; ++x, samples += 3, rgba += 4) {
                std::uint32_t pixel;
                std::memcpy(&pixel, samples, 4);
                pixel |= opaque;
                std::memcpy(rgba, &pixel, 4);
            }
            std::memcpy(rgba, samples, 3);
            rgba[3] = 255;
            return;
        }
        convertPixels(samples, rgba, width, channels, alpha, [](const std::uint8_t* s, std::uint8_t* rgb) {
            rgb[0] = s[0];
            rgb[1] = s[1];
            rgb[2] = s[2];
        });
        return;
    case ColorModel::CMYK: {
        const std::uint32_t flip = _image.cmykInverted ? 255 : 0;
        convertPixels(samples, rgba, width, channels, alpha, [flip](const std::uint8_t* s, std::uint8_t* rgb) {
            const std::uint32_t black = s[3] ^ flip;
            rgb[0] = cmykToChannel(s[0] ^ flip, black);
            rgb[1] = cmykToChannel(s[1] ^ flip, black);
            rgb[2] = cmykToChannel(s[2] ^ flip, black);
        });
        return;
    }
    }
}

void SrgbRowConverter::convertTagged(const std::uint8_t* source, std::uint8_t* rgba) {
    const std::uint32_t width = _image.width;
    const int channels = _image.channels();
    const std::size_t samples = std::size_t(width) * std::size_t(channels);
    const void* lcmsInput = source;
    if (_image.sampleFormat == SampleFormat::Float32) {
        for (std::size_t i = 0; i < samples; ++i) {
            _words[i] = floatToWord(loadFloat(source + i * 4));
        }
        lcmsInput = _words.data();
    }
    _transform->toRgba(lcmsInput, rgba, width);

    for (std::uint32_t x = 0; x < width; ++x, rgba += 4) {
        std::uint8_t a = 255;
        if (_image.hasAlpha) {
            const std::size_t sample = std::size_t(x) * std::size_t(channels) + std::size_t(channels - 1);
            switch (_image.sampleFormat) {
            case SampleFormat::UInt8: a = source[sample]; break;
            case SampleFormat::UInt16: a = wordToByte(loadWord(source + sample * 2)); break;
            case SampleFormat::Float32: a = floatToByte(loadFloat(source + sample * 4)); break;
            }
        }
        rgba[0] = premultiply(rgba[0], a);
        rgba[1] = premultiply(rgba[1], a);
        rgba[2] = premultiply(rgba[2], a);
        rgba[3] = a;
    }
}

} // namespace pellora
