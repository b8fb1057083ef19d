// Shrinks a 6000 x 4000 RGB image to 1024 x 683 through a bitmap context, as
// an export of a 24-megapixel photograph does, and reports the time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/graphics/BitmapContext.h"

int main() {
    using namespace pellora;
    constexpr std::uint32_t inW = 6000, inH = 4000, outW = 1024, outH = 683;

    DecodedImage image;
    image.width = inW;
    image.height = inH;
    image.colorModel = ColorModel::RGB;
    image.rowBytes = std::size_t(inW) * 3;
    image.pixels.resize(image.rowBytes * inH);
    std::uint32_t state = 12345;
    for (std::uint32_t y = 0; y < inH; ++y) {
        for (std::uint32_t x = 0; x < inW; ++x) {
            state = state * 1664525u + 1013904223u;  // a little noise on smooth gradients
            std::uint8_t* p = &image.pixels[y * image.rowBytes + x * 3];
            p[0] = std::uint8_t((x * 255 / inW + (state >> 28)) & 0xFF);
            p[1] = std::uint8_t((y * 255 / inH + (state >> 29)) & 0xFF);
            p[2] = std::uint8_t(((x + y) / 40) & 0xFF);
        }
    }

    std::vector<std::uint8_t> buffer(std::size_t(outW) * 4 * outH);
    std::vector<double> seconds;
    for (int run = 0; run < 5; ++run) {
        std::fill(buffer.begin(), buffer.end(), 0);
        auto context = BitmapContext::create(buffer.data(), buffer.size(), outW, outH, std::size_t(outW) * 4);
        const auto start = std::chrono::steady_clock::now();
        if (!context->drawImage(makeRect(0, 0, outW, outH), image)) {
            std::fprintf(stderr, "bench_resample: drawing failed\n");
            return 1;
        }
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("resample %ux%u RGB -> %ux%u RGBA: median %.1f ms, best %.1f ms (5 runs)\n", inW, inH, outW, outH,
                seconds[2] * 1000, seconds[0] * 1000);
    return 0;
}
