#include <gtest/gtest.h>

#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/metadata/MetadataReader.h"
#include "platform/imageio/metadata/MetadataWriter.h"
#include "support/ExifTool.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// A camera-like JPEG made by ImageMagick and tagged by exiftool, so that what
// is checked was written by tools nobody here wrote.
class MetadataRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        source = dir.file("source.jpg");
        ASSERT_EQ(test::runCommand("convert -size 120x80 gradient:red-blue '" + source + "'"), 0);
        ASSERT_TRUE(test::exifToolWrite(
            source,
            "-Make=Canon '-Model=Canon EOS 5D' '-DateTimeOriginal=2024:05:06 07:08:09' -ExposureTime=1/250 "
            "-FNumber=5.6 -ISO=200 -GPSLatitude=48.8566 -GPSLatitudeRef=N -GPSLongitude=2.3522 "
            "-GPSLongitudeRef=E -Orientation#=6 -XResolution=300 -YResolution=300 -ResolutionUnit=inches "
            "-ExifImageWidth=120 -ExifImageHeight=80 -ColorSpace=sRGB -IPTC:Keywords=alpha "
            "-IPTC:Keywords=beta -IPTC:City=Paris -XMP:Creator=Ann -XMP:Rating=4 -XMP-tiff:Orientation#=6 -XMP-exif:PixelXDimension=120 "
            "-Artist=Ann '-Copyright=(c) Ann' '-UserComment=caf\xc3\xa9'"));
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

TEST_F(MetadataRoundTrip, unchangedEntriesSurviveExactly) {
    const auto before = test::exifToolTags(source);
    const auto after = test::exifToolTags(writeInto(readProperties(source)));
    // What the writer is meant to change or drop: resolution follows the
    // top-level DPI (absent here), the storage tag YCbCrPositioning, and the
    // XMP toolkit and digests that exiftool computes.
    const std::set<std::string> mayDiffer{"IFD0:YCbCrPositioning", "XMP-x:XMPToolkit", "JFIF:JFIFVersion",
                                          "JFIF:ResolutionUnit",   "JFIF:XResolution", "JFIF:YResolution",
                                          "IPTC:ApplicationRecordVersion"};
    for (const auto& [tag, value] : before) {
        if (mayDiffer.count(tag) != 0) continue;
        const auto found = after.find(tag);
        ASSERT_NE(found, after.end()) << tag << " was lost";
        EXPECT_EQ(found->second, value) << tag;
    }
}

TEST_F(MetadataRoundTrip, changedEntriesAreWrittenAndXmpFollowsExif) {
    PlistDictionary properties = readProperties(source);
    PlistValue tiff = properties.get(kCGImagePropertyTIFFDictionary);
    tiff.mutableDictionary().set(kCGImagePropertyTIFFOrientation, 1);
    properties.set(kCGImagePropertyTIFFDictionary, tiff);
    PlistValue exif = properties.get(kCGImagePropertyExifDictionary);
    exif.mutableDictionary().set(kCGImagePropertyExifPixelXDimension, 60.0);
    exif.mutableDictionary().set(kCGImagePropertyExifPixelYDimension, 40.0);
    properties.set(kCGImagePropertyExifDictionary, exif);
    properties.set(kCGImagePropertyDPIWidth, 72);
    properties.set(kCGImagePropertyDPIHeight, 72);

    auto after = test::exifToolTags(writeInto(properties));
    EXPECT_EQ(after["IFD0:Orientation"], "1");
    EXPECT_EQ(after["XMP-tiff:Orientation"], "1");
    EXPECT_EQ(after["ExifIFD:ExifImageWidth"], "60");
    EXPECT_EQ(after["ExifIFD:ExifImageHeight"], "40");
    EXPECT_EQ(after["IFD0:XResolution"], "72");
    EXPECT_EQ(after["IFD0:ResolutionUnit"], "2");
    EXPECT_EQ(after["ExifIFD:ExposureTime"], "0.004");
}

TEST_F(MetadataRoundTrip, removedFamilyIsNotWrittenAndNoneIsAdded) {
    PlistDictionary properties = readProperties(source);
    properties.remove(kCGImagePropertyGPSDictionary);
    properties.remove(kCGImagePropertyIPTCDictionary);
    const auto after = test::exifToolTags(writeInto(properties));
    for (const auto& [tag, value] : after) {
        EXPECT_FALSE(tag.starts_with("GPS:")) << tag;
        EXPECT_FALSE(tag.starts_with("IPTC:")) << tag;
    }

    const std::string bare = dir.file("bare.jpg");
    ASSERT_EQ(test::runCommand("convert -size 8x8 xc:white '" + bare + "'"), 0);
    ASSERT_TRUE(test::exifToolWrite(bare, "-Artist=Ann"));
    const auto bareAfter = test::exifToolTags(writeInto(readProperties(bare)));
    EXPECT_EQ(bareAfter.at("IFD0:Artist"), "Ann");
    for (const auto& [tag, value] : bareAfter) EXPECT_FALSE(tag.starts_with("ExifIFD:")) << tag;
}

TEST(MetadataReader, corruptExifGivesALogLineNotACrash) {
    test::TempDir dir;
    const std::string path = dir.file("corrupt.jpg");
    ASSERT_EQ(test::runCommand("convert -size 8x8 xc:white '" + path + "'"), 0);
    ASSERT_TRUE(test::exifToolWrite(path, "-Artist=Ann -Make=Canon"));
    std::string bytes = test::readFile(path);
    // Point every IFD entry count and offset somewhere wild.
    const auto tiff = bytes.find("MM\0*", 0, 4);
    ASSERT_NE(tiff, std::string::npos);
    for (std::size_t i = tiff + 8; i < tiff + 60 && i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xFF);
    PlistDictionary properties;
    test::LogCapture log;
    addMetadataProperties(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), path,
                          properties);
    EXPECT_LE(log.lines().size(), 2u);
}

} // namespace
} // namespace pellora
