#include "platform/imageio/ImageTestHelpers.h"

#include <cctype>
#include <cstring>
#include <lcms2.h>

#include "support/TestSupport.h"

namespace pellora::test {

std::vector<std::uint8_t> toRgba8(const DecodedImage& image) {
    const int channels = image.channels();
    std::vector<std::uint8_t> rgba;
    rgba.reserve(std::size_t{image.width} * image.height * 4);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.pixels.data() + y * image.rowBytes;
        for (std::uint32_t x = 0; x < image.width; ++x) {
            int samples[5] = {};
            for (int c = 0; c < channels; ++c) {
                const std::size_t index = std::size_t{x} * channels + c;
                if (image.sampleFormat == SampleFormat::UInt16) {
                    std::uint16_t value = 0;
                    std::memcpy(&value, row + index * 2, 2);
                    samples[c] = (value * 255 + 32767) / 65535;
                } else {
                    samples[c] = row[index];
                }
            }
            int r = samples[0], g = samples[0], b = samples[0], a = 255;
            if (image.colorModel == ColorModel::RGB) {
                g = samples[1];
                b = samples[2];
                if (image.hasAlpha) a = samples[3];
            } else if (image.colorModel == ColorModel::CMYK) {
                int ink[4];
                for (int c = 0; c < 4; ++c) ink[c] = image.cmykInverted ? 255 - samples[c] : samples[c];
                r = std::max(0, 255 - ink[0] - ink[3]);
                g = std::max(0, 255 - ink[1] - ink[3]);
                b = std::max(0, 255 - ink[2] - ink[3]);
            } else if (image.hasAlpha) {
                a = samples[1];
            }
            rgba.insert(rgba.end(), {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                     static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(a)});
        }
    }
    return rgba;
}

std::vector<int> readJsonIntegers(const std::string& path) {
    const std::string text = readFile(path);
    std::vector<int> values;
    int current = 0;
    bool inNumber = false;
    for (const char ch : text) {
        if (std::isdigit(static_cast<unsigned char>(ch))) {
            current = current * 10 + (ch - '0');
            inNumber = true;
        } else if (inNumber) {
            values.push_back(current);
            current = 0;
            inNumber = false;
        }
    }
    if (inNumber) values.push_back(current);
    return values;
}

int maxDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size()) return -1;
    int largest = 0;
    for (std::size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

int maxRgbaDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size() || a.size() % 4 != 0) return -1;
    int largest = 0;
    for (std::size_t i = 0; i < a.size(); i += 4) {
        const bool bothTransparent = a[i + 3] == 0 && b[i + 3] == 0;
        for (std::size_t c = bothTransparent ? 3 : 0; c < 4; ++c)
            largest = std::max(largest, std::abs(a[i + c] - b[i + c]));
    }
    return largest;
}

TestBitmap makeTestBitmap(std::uint32_t width, std::uint32_t height, bool translucent) {
    TestBitmap bitmap{width, height, std::vector<std::uint8_t>(std::size_t{width} * height * 4)};
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* pixel = bitmap.pixels.data() + (std::size_t{y} * width + x) * 4;
            int r = static_cast<int>(x * 255 / std::max(1u, width - 1));
            int g = static_cast<int>(y * 255 / std::max(1u, height - 1));
            int b = 128 + (r - g) / 4;
            // Flat patches of saturated colour in the upper-left quarter.
            if (x < width / 4 && y < height / 4) {
                r = 200, g = 40, b = 90;
            }
            const int a = translucent ? static_cast<int>(x * 255 / std::max(1u, width - 1)) : 255;
            pixel[0] = static_cast<std::uint8_t>((r * a + 127) / 255);
            pixel[1] = static_cast<std::uint8_t>((g * a + 127) / 255);
            pixel[2] = static_cast<std::uint8_t>((b * a + 127) / 255);
            pixel[3] = static_cast<std::uint8_t>(a);
        }
    }
    return bitmap;
}

std::string srgbIccProfile() {
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

std::vector<std::uint8_t> imageMagickSamples(const std::string& path, const std::string& map) {
    std::string output;
    const int status = runCommand("convert '" + path + "' -depth 8 " + map + ":-", &output);
    if (status != 0) return {};
    return {output.begin(), output.end()};
}

} // namespace pellora::test
