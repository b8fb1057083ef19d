#include <gtest/gtest.h>

#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "model/SettingsKeys.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"

// What the written files carry, as exiftool reads them.
namespace pellora {
namespace {

const test::PixelFunction gradient = [](std::uint32_t x, std::uint32_t y) {
    return test::Rgba{std::uint8_t(x), std::uint8_t(y), 90, 255};
};

// The pixel size exiftool reads from the file's own header.
std::string pixelSize(const std::string& path) {
    std::string output;
    test::runCommand("exiftool -s3 -n -ImageWidth -ImageHeight '" + path + "'", &output);
    for (char& ch : output) {
        if (ch == '\n') ch = ' ';
    }
    return output;
}

bool hasGroup(const std::map<std::string, std::string>& tags, const std::string& group) {
    for (const auto& [tag, value] : tags) {
        if (tag.starts_with(group + ":")) return true;
    }
    return false;
}

class ModifiedMetadata : public ::testing::Test {
protected:
    void SetUp() override {
        test::pipelineSettings();
        camera = dir.file("camera.jpg");
        ASSERT_TRUE(test::writePicture(camera, kUTTypeJPEG, 240, 160, gradient));
        ASSERT_TRUE(test::exifToolWrite(
            camera, "-Make=Canon '-Model=Canon EOS 5D' '-DateTimeOriginal=2024:05:06 07:08:09' -ExposureTime=1/250 "
                    "-FNumber=5.6 -ISO=200 -GPSLatitude=48.8566 -GPSLatitudeRef=N -Orientation#=6 "
                    "-XResolution=300 -YResolution=300 -ResolutionUnit=inches -ExifImageWidth=240 "
                    "-ExifImageHeight=160 -IPTC:City=Paris -XMP:Creator=Ann"));
    }

    // Writes the camera picture within 100 x 100 as the given type.
    std::map<std::string, std::string> export100(const std::string& output, const char* type) {
        PelloraImage record(camera);
        record.setMaxWidth(100);
        record.setMaxHeight(100);
        EXPECT_TRUE(record.writeToPath(output, type, {{kCGImageDestinationLossyCompressionQuality, 0.8}}));
        return test::exifToolTags(output);
    }

    test::TempDir dir;
    std::string camera;
};

TEST_F(ModifiedMetadata, sizesResolutionAndOrientationFollowTheOutputAndTheRestIsKept) {
    const auto before = test::exifToolTags(camera);
    const std::string output = dir.file("out.jpg");
    auto after = export100(output, kUTTypeJPEG);
    // Stored 240 x 160 with tag 6: upright within 100 x 100 is 66 x 100.
    EXPECT_EQ(pixelSize(output), "66 100 ");
    EXPECT_EQ(after["ExifIFD:ExifImageWidth"], "66");
    EXPECT_EQ(after["ExifIFD:ExifImageHeight"], "100");
    EXPECT_EQ(after["IFD0:Orientation"], "1");
    EXPECT_EQ(after["IFD0:XResolution"], "72");
    EXPECT_EQ(after["IFD0:YResolution"], "72");
    EXPECT_EQ(after["IFD0:ResolutionUnit"], "2");
    EXPECT_EQ(after["JFIF:XResolution"], "72");
    EXPECT_EQ(after["JFIF:ResolutionUnit"], "1");
    for (const char* kept : {"IFD0:Make", "IFD0:Model", "ExifIFD:DateTimeOriginal", "ExifIFD:ExposureTime",
                             "ExifIFD:FNumber", "ExifIFD:ISO", "GPS:GPSLatitude", "GPS:GPSLatitudeRef", "IPTC:City",
                             "XMP-dc:Creator"}) {
        EXPECT_EQ(after[kept], before.at(kept)) << kept;
    }
}

TEST_F(ModifiedMetadata, withoutHardRotationTheOrientationAndStoredProportionsStay) {
    test::setSetting(QVXDefaultsKey_hardRotate, false);
    const std::string output = dir.file("out.png");
    auto after = export100(output, kUTTypePNG);
    EXPECT_EQ(pixelSize(output), "100 66 ");
    EXPECT_EQ(after["IFD0:Orientation"], "6");
    EXPECT_EQ(after["ExifIFD:ExifImageWidth"], "100");
}

TEST_F(ModifiedMetadata, notPreservingWritesNoMetadataOfTheSource) {
    test::setSetting(QVXDefaultsKey_preserveMetadata, false);
    const std::string output = dir.file("out.jpg");
    const auto after = export100(output, kUTTypeJPEG);
    EXPECT_EQ(pixelSize(output), "66 100 ");
    for (const char* group : {"IFD0", "ExifIFD", "GPS", "IPTC", "XMP-dc", "XMP-tiff"}) {
        EXPECT_FALSE(hasGroup(after, group)) << group;
    }
}

TEST_F(ModifiedMetadata, aSourceWithoutExifGetsNoneAndOneWithoutAnExifDirectoryGetsNoneAdded) {
    const std::string bare = dir.file("bare.jpg");
    const std::string artist = dir.file("artist.jpg");
    ASSERT_TRUE(test::writePicture(bare, kUTTypeJPEG, 40, 30, gradient));
    ASSERT_TRUE(test::writePicture(artist, kUTTypeJPEG, 40, 30, gradient));
    ASSERT_TRUE(test::exifToolWrite(artist, "-Artist=Ann"));
    std::vector<std::string> outputs;
    for (const auto& [type, extension] : {std::pair{kUTTypeJPEG, "jpg"}, {kUTTypePNG, "png"}, {kUTTypeTIFF, "tiff"}}) {
        outputs.push_back(dir.file(std::string("bare.") + extension));
        ASSERT_TRUE(PelloraImage(bare).writeToPath(outputs.back(), type, {}));
        outputs.push_back(dir.file(std::string("artist.") + extension));
        ASSERT_TRUE(PelloraImage(artist).writeToPath(outputs.back(), type, {}));
    }
    const auto tags = test::exifToolTagsOfEach(outputs);
    for (std::size_t i = 0; i < outputs.size(); i += 2) {
        SCOPED_TRACE(outputs[i]);
        const auto& bareTags = tags[i];
        const auto& artistTags = tags[i + 1];
        EXPECT_FALSE(hasGroup(bareTags, "ExifIFD"));
        EXPECT_FALSE(hasGroup(artistTags, "ExifIFD"));
        EXPECT_EQ(artistTags.count("IFD0:Artist"), 1u);
        if (!outputs[i].ends_with(".tiff")) {
            EXPECT_FALSE(hasGroup(bareTags, "IFD0"));  // a TIFF's own header is its IFD0
        }
    }
}

TEST_F(ModifiedMetadata, aPngSourceWithoutAlphaIsWrittenWithoutAlpha) {
    const std::string opaque = dir.file("opaque.png");
    ASSERT_EQ(test::runCommand("convert -size 20x10 gradient:red-blue -type TrueColor 'PNG24:" + opaque + "'"), 0);
    ASSERT_FALSE(PelloraImage(opaque).inputMetadata().dictionaryValue().get(kCGImagePropertyHasAlpha).boolValue());
    const std::string output = dir.file("out.png");
    ASSERT_TRUE(PelloraImage(opaque).writeToPath(output, kUTTypePNG, {{kCGImagePropertyHasAlpha, true}}));
    EXPECT_EQ(test::exifToolTags(output)["PNG:ColorType"], "2");  // RGB

    test::setSetting(QVXDefaultsKey_preserveMetadata, false);
    ASSERT_TRUE(PelloraImage(opaque).writeToPath(output, kUTTypePNG, {{kCGImagePropertyHasAlpha, true}}));
    EXPECT_EQ(test::exifToolTags(output)["PNG:ColorType"], "6");  // RGB with alpha
}

} // namespace
} // namespace pellora
