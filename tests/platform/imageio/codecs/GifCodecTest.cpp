#include <cstring>
#include <gtest/gtest.h>

#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

const Codec& gif() { return registeredCodec("GIF"); }

TEST(GifCodec, firstFrameLiesOnTheLogicalScreenWithTheRestTransparent) {
    TempDir dir;
    const std::string path = dir.file("frames.gif");
    // A 10 × 8 blue first frame at (5, 7) of a 40 × 30 screen, then a red full frame.
    ASSERT_TRUE(magick("-dispose none -page 40x30+5+7 -size 10x8 xc:blue -page 40x30+0+0 -size 40x30 xc:red " + quoted(path)));
    const std::string bytes = readFile(path);
    const auto header = gif().readHeader(bytesOf(bytes));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(std::tuple(header->width, header->height, header->hasAlpha, header->isIndexed), std::tuple(40u, 30u, true, true));

    const auto image = gif().decode(bytesOf(bytes), {});
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->channels(), 4);
    for (std::uint32_t i = 0; i < 40 * 30; ++i) {
        const std::uint32_t x = i % 40, y = i / 40;
        const std::uint8_t* p = image->pixels.data() + y * image->rowBytes + x * 4;
        const std::uint8_t blue = x >= 5 && x < 15 && y >= 7 && y < 15 ? 255 : 0;
        const std::uint8_t expected[4] = {0, 0, blue, blue};
        ASSERT_EQ(std::memcmp(p, expected, 4), 0) << x << ", " << y;
    }
}

} // namespace
} // namespace pellora::test
