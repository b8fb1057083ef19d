// Decoding a 24-megapixel JPEG at full scale and at 1/2, 1/4 and 1/8 (DCT
// scaling). Usage: bench_decode_jpeg [photo.jpg]; without a file, a 6000 x 4000
// picture (gradients and grain, quality 0.85, 4:2:0) is made in a temporary folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "BenchPictures.h"
#include "platform/imageio/ImageSource.h"

using namespace pellora;

int main(int argc, char** argv) {
    const bench::BenchPhoto photo(argc, argv);
    const std::string& path = photo.path();
    if (path.empty()) return 1;
    const auto source = ImageSource::createWithPath(path);
    const auto header = source ? source->header() : std::nullopt;
    if (!header) return 1;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return 1;
    std::fseek(file, 0, SEEK_END);
    const long bytes = std::ftell(file);
    std::fclose(file);
    std::printf("%s: %u x %u, %.1f MB\n", path.c_str(), header->width, header->height, bytes / 1e6);

    constexpr int runs = 5;
    for (const std::uint32_t denominator : {1u, 2u, 4u, 8u}) {
        DecodeOptions options;
        if (denominator > 1) {
            options.minWidth = header->width / denominator;
            options.minHeight = header->height / denominator;
        }
        std::vector<double> milliseconds;
        std::uint32_t decodedWidth = 0, decodedHeight = 0;
        for (int run = 0; run < runs; ++run) {
            const auto start = std::chrono::steady_clock::now();
            const auto image = source->decodeFirstImage(options);
            const auto elapsed = std::chrono::steady_clock::now() - start;
            if (!image) return 1;
            decodedWidth = image->width;
            decodedHeight = image->height;
            milliseconds.push_back(std::chrono::duration<double, std::milli>(elapsed).count());
        }
        std::sort(milliseconds.begin(), milliseconds.end());
        std::printf("scale 1/%u -> %5u x %4u: median %7.1f ms, best %7.1f ms (%d runs)\n", denominator, decodedWidth,
                    decodedHeight, milliseconds[runs / 2], milliseconds.front(), runs);
    }
    return 0;
}
