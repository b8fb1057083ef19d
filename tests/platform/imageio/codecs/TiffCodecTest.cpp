#include <gtest/gtest.h>

#include <array>

#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

namespace pellora::test {
namespace {

const Codec& tiff() { return registeredCodec("TIFF"); }

// ImageMagick's description of our output: how its strips are compressed,
// the resolution and the channels.
TEST(TiffCodec, writesLzwAtItsResolutionWithStraightAlpha) {
    TempDir dir;
    Bytes encoded;
    EncodeOptions options;
    ASSERT_TRUE(tiff().encode(makeTestBitmap(40, 24, true).view(), options, encoded));
    writeFile(dir.file("out.tiff"), std::string(encoded.begin(), encoded.end()));
    std::string description;
    runCommand("identify -format '%C %x %y %U %[channels]' " + quoted(dir.file("out.tiff")), &description);
    EXPECT_EQ(description, "LZW 72 72 PixelsPerInch srgba");
}

} // namespace
} // namespace pellora::test
