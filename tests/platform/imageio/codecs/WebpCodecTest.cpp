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

} // namespace
} // namespace pellora::test
