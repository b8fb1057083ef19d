#include <gtest/gtest.h>

#include <set>

#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"

// A camera JPEG's metadata written through the pipeline into every format
// that holds metadata, compared tag by tag by exiftool.
namespace pellora {
namespace {

const std::string cameraWithMakerNote = std::string(PELLORA_TEST_DATA_DIR) + "/camera/Canon.jpg";

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

class MetadataFormats : public ::testing::Test {
protected:
    void SetUp() override {
        test::pipelineSettings();
        source = dir.file("camera.jpg");
        ASSERT_EQ(test::runCommand("convert -size 120x80 gradient:red-blue -quality 95 '" + source + "'"), 0);
        ASSERT_TRUE(test::exifToolWrite(
            source,
            "-tagsFromFile '" + cameraWithMakerNote + "' -MakerNotes -Make=Canon '-Model=Canon EOS DIGITAL REBEL' "
            "'-DateTimeOriginal=2024:05:06 07:08:09' '-CreateDate=2024:05:06 07:08:09' -SubSecTimeOriginal=42 "
            "-ExposureTime=1/250 -FNumber=5.6 -ISO=200 -FocalLength=35 -ExposureCompensation=-1/3 "
            "-GPSLatitude=48.8566 -GPSLatitudeRef=N -GPSLongitude=2.3522 -GPSLongitudeRef=E -GPSAltitude=35.5 "
            "-Orientation#=6 -XResolution=300 -YResolution=300 -ResolutionUnit=inches -ExifImageWidth=120 "
            "-ExifImageHeight=80 -ColorSpace=sRGB -IPTC:Keywords=alpha -IPTC:Keywords=beta -IPTC:City=Paris "
            "'-IPTC:Caption-Abstract=A caf\xc3\xa9' -XMP:Creator=Ann -XMP:Rating=4 -XMP-tiff:Orientation#=6 "
            "-XMP-exif:PixelXDimension=120 -Artist=Ann '-Copyright=(c) Ann' '-UserComment=caf\xc3\xa9'"));
    }

    test::TempDir dir;
    std::string source;
};

TEST_F(MetadataFormats, everySourceTagSurvivesExceptWhatTheWriterChangesOrTheFormatCannotHold) {
    const std::vector<std::pair<const char*, std::string>> formats{
        {kUTTypeJPEG, "jpg"}, {kUTTypePNG, "png"}, {kUTTypeTIFF, "tiff"}, {kUTTypeJPEG2000, "jp2"}};
    std::vector<std::string> files{source};
    for (const auto& [type, extension] : formats) {
        files.push_back(dir.file("out." + extension));
        PelloraImage record(source);
        record.setMaxWidth(60);
        record.setMaxHeight(60);
        ASSERT_TRUE(record.writeToPath(files.back(), type, {{kCGImageDestinationLossyCompressionQuality, 0.9}}));
    }
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
            if (found == after.end()) {
                ADD_FAILURE() << tag << " was lost";
            } else {
                EXPECT_EQ(found->second, value) << tag;
            }
        }
        EXPECT_EQ(after.count("IFD1:ThumbnailLength"), 0u);
        EXPECT_EQ(after.at("IFD0:Orientation"), "1");
        EXPECT_EQ(after.at("XMP-tiff:Orientation"), "1");
        EXPECT_EQ(after.at("ExifIFD:ExifImageWidth"), "40");
        EXPECT_EQ(after.at("ExifIFD:ExifImageHeight"), "60");
        EXPECT_EQ(after.at("IFD0:XResolution"), "72");
    }
}

TEST_F(MetadataFormats, aTiffSourceWrittenAsJpegCarriesNoneOfItsStorageTags) {
    const std::string tiff = dir.file("scan.tiff");
    ASSERT_EQ(test::runCommand("convert -size 30x20 gradient:red-blue -compress lzw '" + tiff + "'"), 0);
    ASSERT_TRUE(test::exifToolWrite(tiff, "-Make=Canon -Artist=Ann -ExposureTime=1/60"));
    const std::string output = dir.file("scan.jpg");
    ASSERT_TRUE(PelloraImage(tiff).writeToPath(output, kUTTypeJPEG, {}));
    const auto after = test::exifToolTags(output);
    EXPECT_EQ(after.at("IFD0:Make"), "Canon");
    EXPECT_EQ(after.at("IFD0:Artist"), "Ann");
    EXPECT_EQ(after.at("ExifIFD:ExposureTime"), "0.01666666667");
    for (const auto& [tag, value] : after) {
        for (const char* storage : {"ImageWidth", "ImageHeight", "BitsPerSample", "Compression", "PhotometricInterpretation",
                                    "StripOffsets", "RowsPerStrip", "StripByteCounts", "PlanarConfiguration",
                                    "SamplesPerPixel", "Predictor", "ExtraSamples", "SampleFormat"}) {
            EXPECT_NE(tag, std::string("IFD0:") + storage);
        }
    }
}

} // namespace
} // namespace pellora
