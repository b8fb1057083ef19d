#include <gtest/gtest.h>

#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/metadata/MetadataReader.h"
#include "platform/imageio/metadata/MetadataWriter.h"
#include "support/ExifTool.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// A camera-like JPEG made by ImageMagick and tagged by exiftool, so that what
// is checked was written by tools nobody here wrote: its families carry the
// platform's keys, and a family removed from them is not written. What the
// written files carry over is checked through the whole pipeline in
// ModifiedMetadataTest.
TEST(MetadataRoundTrip, familiesCarryThePlatformKeysAndARemovedFamilyIsNotWritten) {
    test::TempDir dir;
    const std::string source = dir.file("source.jpg"), output = dir.file("output.jpg");
    ASSERT_EQ(test::runCommand("convert -size 120x80 gradient:red-blue '" + source + "'"), 0);
    ASSERT_TRUE(test::exifToolWrite(source, "-@ '" + std::string(PELLORA_TEST_DATA_DIR) + "/camera/tags.args'"));
    const std::string bytes = test::readFile(source);
    PlistDictionary properties;
    ASSERT_TRUE(addMetadataProperties(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                                      source, properties));
    const auto family = [&](const char* key) { return properties.get(key).dictionaryValue(); };
    EXPECT_EQ(family(kImagePropertyTIFFDictionary).get(kImagePropertyTIFFOrientation).intValue(), 6);
    EXPECT_EQ(family(kImagePropertyTIFFDictionary).get("Make").stringValue(), "Canon");
    EXPECT_DOUBLE_EQ(family(kImagePropertyExifDictionary).get("ExposureTime").doubleValue(), 1.0 / 250);
    EXPECT_TRUE(family(kImagePropertyExifDictionary).contains("FlashPixVersion"));
    EXPECT_EQ(family(kImagePropertyGPSDictionary).get("LatitudeRef").stringValue(), "N");
    EXPECT_TRUE(family(kImagePropertyGPSDictionary).contains("GPSVersion"));
    EXPECT_EQ(family(kImagePropertyIPTCDictionary).get("Keywords"), PlistValue(PlistArray{"alpha", "beta"}));
    EXPECT_EQ(family(kImagePropertyIPTCDictionary).get("City").stringValue(), "Paris");

    // Written into a fresh JPEG with no metadata of its own.
    properties.remove(kImagePropertyGPSDictionary);
    properties.remove(kImagePropertyIPTCDictionary);
    ASSERT_EQ(test::runCommand("convert -size 60x40 xc:gray '" + output + "'"), 0);
    const auto metadata = prepareOutputMetadata(properties);
    ASSERT_TRUE(metadata.has_value());
    const std::string plain = test::readFile(output);
    std::vector<std::uint8_t> encoded(plain.begin(), plain.end());
    ASSERT_TRUE(embedMetadata(encoded, *metadata));
    test::writeFile(output, std::string(encoded.begin(), encoded.end()));
    const auto after = test::exifToolTags(output);
    for (const auto& [tag, value] : after) {
        EXPECT_FALSE(tag.starts_with("GPS:")) << tag;
        EXPECT_FALSE(tag.starts_with("IPTC:")) << tag;
    }
    EXPECT_EQ(after.at("IFD0:Make"), "Canon");
    EXPECT_EQ(after.at("XMP-dc:Creator"), "Ann");
}

} // namespace
} // namespace pellora
