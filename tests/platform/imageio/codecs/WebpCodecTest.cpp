#include <gtest/gtest.h>

#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

const Codec& webp() { return registeredCodec("WebP"); }

TEST(WebpCodec, animationGivesItsFirstFrame) {
    TempDir dir;
    const std::string path = dir.file("animation.webp");
    ASSERT_TRUE(magick("-delay 10 -size 40x30 xc:red xc:blue -loop 0 -define webp:lossless=true " + quoted(path)));
    const auto image = webp().decode(bytesOf(readFile(path)), {});
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(std::pair(image->width, image->height), std::pair(40u, 30u));
    // Red, the first frame, in every pixel.
    for (std::size_t i = 0; i < image->pixels.size(); i += image->channels()) {
        ASSERT_EQ(std::pair(image->pixels[i], image->pixels[i + 2]), (std::pair<std::uint8_t, std::uint8_t>(255, 0)));
    }
}

TEST(WebpCodec, canvasesTooLargeAreRefused) {
    TempDir dir;
    const std::string path = dir.file("a.webp");
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path(), true), "-quality 80", path));
    const std::string valid = readFile(path);
    ASSERT_EQ(valid.substr(12, 4), "VP8X");
    // Canvas sizes (minus one) are 24-bit little-endian fields of the VP8X chunk.
    const auto withCanvas = [&](std::uint32_t width, std::uint32_t height) {
        std::string bytes = valid;
        for (int i = 0; i < 3; ++i) {
            bytes[24 + i] = char((width - 1) >> (8 * i));
            bytes[27 + i] = char((height - 1) >> (8 * i));
        }
        return bytes;
    };
    EXPECT_TRUE(refusedWithOneLine(webp(), bytesOf(withCanvas(100000, 100000))));
    EXPECT_TRUE(refusedWithOneLine(webp(), bytesOf(withCanvas(70000, 10))));
    // A real size over the caller's limits.
    DecodeOptions small;
    small.limits.maxPixels = 1000;
    EXPECT_TRUE(refusedWithOneLine(webp(), bytesOf(valid), small));
}

} // namespace
} // namespace pellora::test
