#include <gtest/gtest.h>

#include "platform/imageio/ImageSource.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"
#include "support/TestPictures.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// Noise that compresses poorly, so that the pixels far outweigh the header.
const test::PixelFunction noise = [](std::uint32_t x, std::uint32_t y) {
    const std::uint32_t n = (x * 2654435761u) ^ (y * 40503u);
    return test::Rgba{std::uint8_t(n >> 3), std::uint8_t(n >> 11), std::uint8_t(n >> 19), 255};
};

// What a header read gives, against the whole file's source: the same header,
// memory estimate, properties and preview.
void expectSameAsWholeFile(const std::string& path) {
    const auto whole = ImageSource::createWithPath(path);
    const auto header = ImageSource::createForHeaderWithPath(path);
    ASSERT_TRUE(whole && header);
    ASSERT_TRUE(whole->header() && header->header());
    EXPECT_EQ(header->header()->width, whole->header()->width);
    EXPECT_EQ(header->header()->height, whole->header()->height);
    EXPECT_EQ(header->header()->iccProfile, whole->header()->iccProfile);
    EXPECT_EQ(header->decodeMemory({}), whole->decodeMemory({}));
    EXPECT_EQ(header->copyPropertiesAtIndex(0), whole->copyPropertiesAtIndex(0));
    const auto preview = header->exifPreview();
    const auto wholePreview = whole->exifPreview();
    EXPECT_TRUE(std::equal(preview.begin(), preview.end(), wholePreview.begin(), wholePreview.end()));
}

TEST(HeaderRead, aJpegIsReadUpToItsFirstScanAndGivesTheWholeFilesProperties) {
    test::TempDir dir;
    const std::string camera = dir.file("camera.jpg");
    const std::string preview = dir.file("preview.jpg");
    ASSERT_TRUE(test::writePicture(camera, kImageTypeJPEG, 1500, 1000, noise));
    ASSERT_TRUE(test::writePicture(preview, kImageTypeJPEG, 160, 107, noise));
    // A camera's metadata, maker note included, XMP and a stored preview.
    ASSERT_TRUE(test::exifToolWrite(camera, "-TagsFromFile '" + std::string(PELLORA_TEST_DATA_DIR) +
                                                "/camera/Canon.jpg' -all:all '-ThumbnailImage<=" + preview +
                                                "' -XMP:Title=Header -Orientation#=6"));
    const auto header = ImageSource::createForHeaderWithPath(camera);
    ASSERT_TRUE(header);
    EXPECT_FALSE(header->holdsWholeFile());
    const std::uint64_t size = test::readFile(camera).size();
    EXPECT_LT(header->bytesRead(), size / 4) << "of " << size;
    EXPECT_EQ(ImageSource::createWithPath(camera)->bytesRead(), size);
    EXPECT_FALSE(header->exifPreview().empty());
    expectSameAsWholeFile(camera);

    // Read for its header, it is not decoded.
    test::LogCapture log;
    EXPECT_FALSE(header->decodeFirstImage());
    EXPECT_TRUE(log.contains("read for its header alone cannot be decoded"));
}

// A JPEG without a scan or with damaged segments, and a format without byte
// ranges (with the same properties as the whole file's source), are read whole.
TEST(HeaderRead, jpegsWithoutAWholeHeadAndFormatsWithoutRangesAreReadWhole) {
    test::TempDir dir;
    for (const char* type : {kImageTypeJPEG, kImageTypeBMP}) {
        ASSERT_TRUE(test::writePicture(dir.file(type), type, std::string_view(type) == kImageTypeJPEG ? 600 : 300, 200, noise)) << type;
    }
    const std::string bytes = test::readFile(dir.file(kImageTypeJPEG));
    const std::size_t scan = bytes.find("\xff\xda");
    ASSERT_NE(scan, std::string::npos);
    std::string damaged = bytes;
    damaged[scan] = 0x00;  // the scan's marker
    test::writeFile(dir.file("no scan.jpg"), bytes.substr(0, scan) + std::string(200000, '\0'));
    test::writeFile(dir.file("damaged.jpg"), damaged);
    for (const std::string name : {"no scan.jpg", "damaged.jpg", kImageTypeBMP}) {
        SCOPED_TRACE(name);
        test::LogCapture quiet;
        const auto header = ImageSource::createForHeaderWithPath(dir.file(name));
        ASSERT_TRUE(header);
        EXPECT_TRUE(header->holdsWholeFile());
        // The prefix read before the whole file counts too.
        EXPECT_GE(header->bytesRead(), test::readFile(dir.file(name)).size());
        if (!name.ends_with(".jpg")) expectSameAsWholeFile(dir.file(name));
    }
}

} // namespace
} // namespace pellora
