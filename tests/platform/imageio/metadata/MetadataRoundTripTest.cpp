#include <gtest/gtest.h>

#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/metadata/MetadataReader.h"
#include "platform/imageio/metadata/MetadataWriter.h"
#include "support/ExifTool.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// A camera-like JPEG made by ImageMagick and tagged by exiftool, so that what
// is checked was written by tools nobody here wrote. What the written files
// carry over is checked through the whole pipeline in ModifiedMetadataTest.
class MetadataRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        source = dir.file("source.jpg");
        ASSERT_EQ(test::runCommand("convert -size 120x80 gradient:red-blue '" + source + "'"), 0);
        ASSERT_TRUE(test::exifToolWrite(source, "-@ '" + std::string(PELLORA_TEST_DATA_DIR) + "/camera/tags.args'"));
    }

    PlistDictionary readProperties(const std::string& path) {
        const std::string bytes = test::readFile(path);
        PlistDictionary properties;
        EXPECT_TRUE(addMetadataProperties(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), path, properties));
        return properties;
    }

    // Writes the properties' metadata into a fresh JPEG with no metadata of its own.
    std::string writeInto(const PlistDictionary& properties) {
        const std::string output = dir.file("output.jpg");
        EXPECT_EQ(test::runCommand("convert -size 60x40 xc:gray '" + output + "'"), 0);
        const auto metadata = prepareOutputMetadata(properties);
        EXPECT_TRUE(metadata.has_value());
        const std::string plain = test::readFile(output);
        std::vector<std::uint8_t> encoded(plain.begin(), plain.end());
        if (metadata && embedMetadata(encoded, *metadata)) {
            test::writeFile(output, std::string(encoded.begin(), encoded.end()));
        } else {
            ADD_FAILURE() << "the metadata could not be embedded";
        }
        return output;
    }

    test::TempDir dir;
    std::string source;
};

TEST_F(MetadataRoundTrip, familiesCarryThePlatformKeys) {
    const PlistDictionary properties = readProperties(source);
    const PlistDictionary& tiff = properties.get(kCGImagePropertyTIFFDictionary).dictionaryValue();
    const PlistDictionary& exif = properties.get(kCGImagePropertyExifDictionary).dictionaryValue();
    const PlistDictionary& gps = properties.get(kCGImagePropertyGPSDictionary).dictionaryValue();
    const PlistDictionary& iptc = properties.get(kCGImagePropertyIPTCDictionary).dictionaryValue();
    EXPECT_EQ(tiff.get(kCGImagePropertyTIFFOrientation).intValue(), 6);
    EXPECT_EQ(tiff.get("Make").stringValue(), "Canon");
    EXPECT_DOUBLE_EQ(exif.get("ExposureTime").doubleValue(), 1.0 / 250);
    EXPECT_TRUE(exif.contains("FlashPixVersion"));
    EXPECT_EQ(gps.get("LatitudeRef").stringValue(), "N");
    EXPECT_TRUE(gps.contains("GPSVersion"));
    EXPECT_EQ(iptc.get("Keywords"), PlistValue(PlistArray{"alpha", "beta"}));
    EXPECT_EQ(iptc.get("City").stringValue(), "Paris");
}

TEST_F(MetadataRoundTrip, aRemovedFamilyIsNotWritten) {
    PlistDictionary properties = readProperties(source);
    properties.remove(kCGImagePropertyGPSDictionary);
    properties.remove(kCGImagePropertyIPTCDictionary);
    const auto after = test::exifToolTags(writeInto(properties));
    for (const auto& [tag, value] : after) {
        EXPECT_FALSE(tag.starts_with("GPS:")) << tag;
        EXPECT_FALSE(tag.starts_with("IPTC:")) << tag;
    }
    EXPECT_EQ(after.at("IFD0:Make"), "Canon");
    EXPECT_EQ(after.at("XMP-dc:Creator"), "Ann");
}

} // namespace
} // namespace pellora
