#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "jobs/JobTestSupport.h"
#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "model/SettingsKeys.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"

// A camera JPEG's metadata written through the pipeline into every format
// that holds metadata, compared tag by tag by exiftool.
namespace pellora {
namespace {

// A camera JPEG with a maker note, and the tags a camera writes (tests/data/camera/README.md).
const std::string camera = std::string(PELLORA_TEST_DATA_DIR) + "/camera";
const test::PixelFunction gradient = [](std::uint32_t x, std::uint32_t y) {
    return test::Rgba{std::uint8_t(x), std::uint8_t(y), 90, 255};
};

// What the writer is meant to change: dimensions, resolution, orientation,
// the stale thumbnail, the colour space (outputs are sRGB), the source's
// storage tags, and the XMP toolkit and digests. The JPEG's own JFIF header
// belongs to the JPEG.
bool meantToChange(const std::string& tag) {
    static const std::set<std::string> changed{
        "IFD0:Orientation",         "XMP-tiff:Orientation",     "ExifIFD:ExifImageWidth",
        "ExifIFD:ExifImageHeight",  "XMP-exif:PixelXDimension", "XMP-exif:PixelYDimension",
        "IFD0:XResolution",         "IFD0:YResolution",         "IFD0:ResolutionUnit",
        "ExifIFD:ColorSpace",       "InteropIFD:InteropIndex",  "IFD0:YCbCrPositioning",
        "XMP-x:XMPToolkit",         "XMP-tiff:NativeDigest",    "XMP-exif:NativeDigest"};
    return changed.count(tag) != 0 || tag.starts_with("IFD1:") || tag.starts_with("JFIF:");
}

bool hasGroup(const std::map<std::string, std::string>& tags, const std::string& group) {
    return std::any_of(tags.begin(), tags.end(), [&](const auto& entry) { return entry.first.starts_with(group + ":"); });
}

// A 120 x 80 camera picture stored on its side (orientation 6).
class ModifiedMetadata : public ::testing::Test {
protected:
    void SetUp() override {
        test::freshSettings();
        source = dir.file("camera.jpg");
        ASSERT_EQ(test::runCommand("convert -size 120x80 gradient:red-blue -quality 95 '" + source + "'"), 0);
        ASSERT_TRUE(test::exifToolWrite(source, "-tagsFromFile '" + camera + "/Canon.jpg' -MakerNotes -@ '" + camera +
                                                    "/tags.args'"));
    }

    // Writes the camera picture within 60 x 60 as the given type.
    std::string export60(const char* type, const std::string& name) {
        const std::string output = dir.file(name);
        PelloraImage record(source);
        record.setMaxWidth(60);
        record.setMaxHeight(60);
        EXPECT_TRUE(record.writeToPath(output, type, {{kImageDestinationLossyCompressionQuality, 0.9}}));
        return output;
    }

    test::TempDir dir;
    std::string source;
};

TEST_F(ModifiedMetadata, everySourceTagSurvivesExceptWhatTheWriterChangesOrTheFormatCannotHold) {
    const std::vector<std::pair<const char*, std::string>> formats{
        {kImageTypeJPEG, "jpg"}, {kImageTypePNG, "png"}, {kImageTypeTIFF, "tiff"}, {kImageTypeJPEG2000, "jp2"}};
    std::vector<std::string> files{source};
    for (const auto& [type, extension] : formats) files.push_back(export60(type, "out." + extension));
    const auto tags = test::exifToolTagsOfEach(files);
    const auto& before = tags.front();
    ASSERT_GT(before.count("Canon:OwnerName"), 0u) << "no maker note";
    for (std::size_t i = 0; i < formats.size(); ++i) {
        SCOPED_TRACE(files[i + 1]);
        const auto& after = tags[i + 1];
        for (const auto& [tag, value] : before) {
            if (meantToChange(tag)) continue;
            if (tag.starts_with("IPTC:") && formats[i].second == "png") continue;
            const auto found = after.find(tag);
            EXPECT_EQ(found == after.end() ? "(lost)" : found->second, value) << tag;
        }
        // Stored 120 x 80 with tag 6: upright within 60 x 60 is 40 x 60.
        EXPECT_EQ(test::decodedSize(files[i + 1]), (test::DecodedSize{40, 60}));
        EXPECT_EQ(after.count("IFD1:ThumbnailLength"), 0u);
        for (const auto& [tag, value] : {std::pair{"IFD0:Orientation", "1"}, {"XMP-tiff:Orientation", "1"},
                                         {"ExifIFD:ExifImageWidth", "40"}, {"ExifIFD:ExifImageHeight", "60"},
                                         {"IFD0:XResolution", "72"}, {"IFD0:YResolution", "72"}, {"IFD0:ResolutionUnit", "2"}}) {
            EXPECT_EQ(after.at(tag), value) << tag;
        }
    }
    EXPECT_EQ(tags[1].at("JFIF:XResolution"), "72");
    EXPECT_EQ(tags[1].at("JFIF:ResolutionUnit"), "1");
}

// Without hard rotation the orientation and the stored proportions stay; not
// preserving writes no metadata of the source.
TEST_F(ModifiedMetadata, theSettingsKeepTheOrientationTagOrDropAllMetadata) {
    test::setSetting(QVXDefaultsKey_hardRotate, false);
    const std::string unturned = export60(kImageTypePNG, "unturned.png");
    test::freshSettings();
    test::setSetting(QVXDefaultsKey_preserveMetadata, false);
    const std::string bare = export60(kImageTypeJPEG, "bare.jpg");
    const auto tags = test::exifToolTagsOfEach({unturned, bare});
    EXPECT_EQ(test::decodedSize(unturned), (test::DecodedSize{60, 40}));
    EXPECT_EQ(tags[0].at("IFD0:Orientation"), "6");
    EXPECT_EQ(tags[0].at("ExifIFD:ExifImageWidth"), "60");
    EXPECT_EQ(test::decodedSize(bare), (test::DecodedSize{40, 60}));
    for (const char* group : {"IFD0", "ExifIFD", "GPS", "IPTC", "XMP-dc", "XMP-tiff", "Canon"}) {
        EXPECT_FALSE(hasGroup(tags[1], group)) << group;
    }
}

TEST_F(ModifiedMetadata, aSourceWithoutExifGetsNoneAndOneWithoutAnExifDirectoryGetsNoneAdded) {
    const std::string bare = dir.file("bare.jpg");
    const std::string artist = dir.file("artist.jpg");
    ASSERT_TRUE(test::writePicture(bare, kImageTypeJPEG, 40, 30, gradient));
    ASSERT_TRUE(test::writePicture(artist, kImageTypeJPEG, 40, 30, gradient));
    ASSERT_TRUE(test::exifToolWrite(artist, "-Artist=Ann"));
    std::vector<std::string> outputs;
    for (const auto& [type, extension] : {std::pair{kImageTypeJPEG, "jpg"}, {kImageTypePNG, "png"}, {kImageTypeTIFF, "tiff"}}) {
        outputs.push_back(dir.file(std::string("bare.") + extension));
        ASSERT_TRUE(PelloraImage(bare).writeToPath(outputs.back(), type, {}));
        outputs.push_back(dir.file(std::string("artist.") + extension));
        ASSERT_TRUE(PelloraImage(artist).writeToPath(outputs.back(), type, {}));
    }
    const auto tags = test::exifToolTagsOfEach(outputs);
    for (std::size_t i = 0; i < outputs.size(); i += 2) {
        SCOPED_TRACE(outputs[i]);
        EXPECT_FALSE(hasGroup(tags[i], "ExifIFD"));
        EXPECT_FALSE(hasGroup(tags[i + 1], "ExifIFD"));
        EXPECT_EQ(tags[i + 1].count("IFD0:Artist"), 1u);
        if (!outputs[i].ends_with(".tiff")) {
            EXPECT_FALSE(hasGroup(tags[i], "IFD0"));  // a TIFF's own header is its IFD0
        }
    }
}

TEST_F(ModifiedMetadata, aTiffSourceWrittenAsJpegCarriesNoneOfItsStorageTags) {
    const std::string tiff = dir.file("scan.tiff");
    ASSERT_EQ(test::runCommand("convert -size 30x20 gradient:red-blue -compress lzw '" + tiff + "'"), 0);
    ASSERT_TRUE(test::exifToolWrite(tiff, "-Make=Canon -Artist=Ann -ExposureTime=1/60"));
    const std::string output = dir.file("scan.jpg");
    ASSERT_TRUE(PelloraImage(tiff).writeToPath(output, kImageTypeJPEG, {}));
    const auto after = test::exifToolTags(output);
    EXPECT_EQ(after.at("IFD0:Make"), "Canon");
    EXPECT_EQ(after.at("IFD0:Artist"), "Ann");
    EXPECT_EQ(after.at("ExifIFD:ExposureTime"), "0.01666666667");
    for (const char* storage : {"ImageWidth", "ImageHeight", "BitsPerSample", "Compression", "PhotometricInterpretation",
                                "StripOffsets", "RowsPerStrip", "StripByteCounts", "PlanarConfiguration",
                                "SamplesPerPixel", "Predictor", "ExtraSamples", "SampleFormat"}) {
        EXPECT_EQ(after.count(std::string("IFD0:") + storage), 0u) << storage;
    }
}

TEST_F(ModifiedMetadata, aPngSourceWithoutAlphaIsWrittenWithoutAlpha) {
    const std::string opaque = dir.file("opaque.png");
    ASSERT_EQ(test::runCommand("convert -size 20x10 gradient:red-blue -type TrueColor 'PNG24:" + opaque + "'"), 0);
    ASSERT_FALSE(PelloraImage(opaque).inputMetadata().dictionaryValue().get(kImagePropertyHasAlpha).boolValue());
    const std::string output = dir.file("out.png");
    ASSERT_TRUE(PelloraImage(opaque).writeToPath(output, kImageTypePNG, {{kImagePropertyHasAlpha, true}}));
    EXPECT_EQ(test::exifToolTags(output)["PNG:ColorType"], "2");  // RGB

    test::setSetting(QVXDefaultsKey_preserveMetadata, false);
    ASSERT_TRUE(PelloraImage(opaque).writeToPath(output, kImageTypePNG, {{kImagePropertyHasAlpha, true}}));
    EXPECT_EQ(test::exifToolTags(output)["PNG:ColorType"], "6");  // RGB with alpha
}

} // namespace
} // namespace pellora
