#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "platform/imageio/codecs/JpegCodec.h"
#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// The luma sampling factor of a JPEG written at the given quality fraction,
// and the file's size.
std::pair<int, std::size_t> writeAtQuality(const test::TempDir& dir, double quality) {
    const std::string path = dir.file("q.jpg");
    const auto bitmap = test::makeTestBitmap(64, 64, false);
    const auto destination = ImageDestination::createWithPath(path, kUTTypeJPEG);
    destination->addImage(bitmap.view(), {{kCGImageDestinationLossyCompressionQuality, quality}});
    if (!destination->finalize()) return {0, 0};
    const std::string bytes = test::readFile(path);
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&info, TRUE);
    const int sampling = info.comp_info[0].h_samp_factor * 10 + info.comp_info[0].v_samp_factor;
    jpeg_destroy_decompress(&info);
    return {sampling, bytes.size()};
}

TEST(JpegCodec, qualityBelowNinetyPercentHalvesTheChroma) {
    test::TempDir dir;
    EXPECT_EQ(writeAtQuality(dir, 0.89).first, 22);  // 4:2:0
    EXPECT_EQ(writeAtQuality(dir, 0.9f).first, 11);  // 4:4:4, also from a single-precision setting
    EXPECT_EQ(writeAtQuality(dir, 1.0).first, 11);
    EXPECT_LT(writeAtQuality(dir, 0.3).second, writeAtQuality(dir, 0.8).second);
}

// An opaque bitmap goes to libjpeg as it is; one with any transparency is
// composited over white first. Both ways give the same file for the same picture.
TEST(JpegCodec, anOpaqueBitmapEncodesAsTheSamePictureCompositedOverWhite) {
    const auto bitmap = test::makeTestBitmap(37, 21, false);
    // The last pixel white, then nothing (over white).
    auto opaque = bitmap.pixels;
    std::fill(opaque.end() - 4, opaque.end(), std::uint8_t{255});
    auto transparent = opaque;
    std::fill(transparent.end() - 4, transparent.end(), std::uint8_t{0});

    const JpegCodec codec;
    const auto encode = [&codec](const auto& pixels) {
        std::vector<std::uint8_t> encoded;
        EXPECT_TRUE(codec.encode({pixels.data(), 37, 21, 37 * 4, pixels.size()}, EncodeOptions{}, encoded));
        return encoded;
    };
    const std::vector<std::uint8_t> fromOpaque = encode(opaque);
    EXPECT_FALSE(fromOpaque.empty());
    EXPECT_EQ(fromOpaque, encode(transparent));
}

} // namespace
} // namespace pellora
