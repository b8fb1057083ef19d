#include <gtest/gtest.h>

#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

const Codec& heif() { return registeredCodec("HEIF"); }

// The HEIF with every `ispe` (image spatial extent) property set to width × height.
std::string withExtent(std::string bytes, std::uint32_t width, std::uint32_t height) {
    for (std::size_t at = bytes.find("ispe"); at != std::string::npos; at = bytes.find("ispe", at + 4)) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + 8 + i] = char(width >> (24 - 8 * i));
            bytes[at + 12 + i] = char(height >> (24 - 8 * i));
        }
    }
    return bytes;
}

TEST(HeifCodec, extentsTooLargeAreRefused) {
    TempDir dir;
    const std::string path = dir.file("a.heic");
    ASSERT_TRUE(magickConvert(makeSourcePng(dir.path()), "-quality 80", path));
    const std::string valid = readFile(path);
    const auto header = heif().readHeader(bytesOf(valid));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->bitsPerComponent, 8);
    EXPECT_TRUE(header->iccProfile.empty());
    EXPECT_TRUE(refusedWithOneLine(heif(), bytesOf(withExtent(valid, 100000, 100000))));
    EXPECT_TRUE(refusedWithOneLine(heif(), bytesOf(withExtent(valid, 20000, 20000))));  // 400 megapixels
    DecodeOptions small;
    small.limits.maxSide = 40;
    EXPECT_TRUE(refusedWithOneLine(heif(), bytesOf(valid), small));
}

} // namespace
} // namespace pellora::test
