#include <gtest/gtest.h>

#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"
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

} // namespace
} // namespace pellora
