#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "model/ImageRep.h"
#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"

namespace pellora {
namespace {

const test::PixelFunction grey = [](std::uint32_t, std::uint32_t) { return test::Rgba{128, 128, 128, 255}; };

TEST(PelloraImageRecord, sizeIsInPixelsWhateverTheResolutionSaysAndSafeFromTwoThreads) {
    test::TempDir dir;
    const std::string path = dir.file("print 300 dpi.png");
    ASSERT_EQ(test::runCommand("convert -size 3000x2000 xc:gray -density 300 -units PixelsPerInch '" + path + "'"), 0);

    // The resolution tags alone would make it 720 x 480.
    ReferencedImage byReference(path);
    ASSERT_EQ(byReference.representations().size(), 1u);
    const ImageRep rep = byReference.representations().front();
    EXPECT_FLOAT_EQ(dpiX(rep), 300.0f);
    EXPECT_FLOAT_EQ(byReference.size().width, 720.0f);

    const auto record = PelloraImage::pelloraImageWithPath(path);
    EXPECT_EQ(record->inputName(), "print 300 dpi.png");
    EXPECT_EQ(std::pair(record->maxWidth(), record->maxHeight()), std::pair(0, 0));
    std::vector<std::thread> threads;
    std::vector<Size> seen(4);
    for (std::size_t t = 0; t < seen.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) seen[t] = record->inputSize();
        });
    }
    for (auto& thread : threads) thread.join();
    for (const Size& size : seen) EXPECT_EQ(std::pair(size.width, size.height), std::pair(3000.0f, 2000.0f));
}

TEST(PelloraImageRecord, creationReadsNothingAndOnlyAskingForPropertiesLogs) {
    test::TempDir dir;
    const std::string picture = dir.file("gone.jpg");
    ASSERT_TRUE(test::writePicture(picture, kImageTypeJPEG, 8, 8, grey));
    const std::string text = dir.file("notes.jpg");
    test::writeFile(text, "these are not pixels\n");

    test::LogCapture log;
    PelloraImage vanished(picture);
    PelloraImage missing(dir.file("never there.png"));
    PelloraImage notAnImage(text);
    EXPECT_EQ(vanished.inputName(), "gone.jpg");
    EXPECT_TRUE(log.lines().empty());

    // Nothing was read at creation: the file's removal shows in its size.
    std::remove(picture.c_str());
    EXPECT_EQ(std::pair(vanished.inputSize().width, vanished.inputSize().height), std::pair(0.0f, 0.0f));

    for (PelloraImage* record : {&missing, &notAnImage}) {
        test::LogCapture asked;
        EXPECT_TRUE(record->inputMetadata().isNull());
        EXPECT_TRUE(record->inputMetadata().isNull());
        EXPECT_EQ(test::errorLines(asked), std::vector<std::string>(2, "*** Error: inputMetadata: Image source is NULL."))
            << record->inputPath();
    }
    // A header that cannot be read gives no properties either.
    const std::string headless = dir.file("headless.jpg");
    test::writeFile(headless, std::string("\xFF\xD8\xFF\xE0\x00\x04\x00\x00", 8) + std::string(200, '\x55'));
    test::LogCapture asked;
    EXPECT_TRUE(PelloraImage(headless).inputMetadata().isNull());
    EXPECT_EQ(test::errorLines(asked), std::vector<std::string>{"*** Error: inputMetadata: Image properties is NULL."});
}

TEST(PelloraImageRecord, orientationTagIsReadFromJpegTiffAndPngFiles) {
    test::TempDir dir;
    std::vector<std::pair<std::string, std::vector<std::string>>> tagging;
    std::vector<std::pair<std::string, int>> expected;
    for (const auto& [type, extension] : {std::pair{kImageTypeJPEG, "jpg"}, {kImageTypeTIFF, "tiff"}, {kImageTypePNG, "png"}}) {
        for (int tag = 1; tag <= 8; ++tag) {
            const std::string path = dir.file("tag" + std::to_string(tag) + "." + extension);
            ASSERT_TRUE(test::writePicture(path, type, 4, 2, grey));
            tagging.push_back({path, {"-Orientation#=" + std::to_string(tag)}});
            expected.emplace_back(path, tag);
        }
    }
    // A TIFF dictionary without the tag counts as 0, a file without one as 1.
    const std::string untagged = dir.file("artist only.jpg");
    ASSERT_TRUE(test::writePicture(untagged, kImageTypeJPEG, 4, 2, grey));
    tagging.push_back({untagged, {"-Artist=Ann"}});
    expected.emplace_back(untagged, 0);
    for (const auto& [type, extension] : {std::pair{kImageTypeJPEG, "jpg"}, {kImageTypePNG, "png"}}) {
        const std::string bare = dir.file(std::string("bare.") + extension);
        ASSERT_TRUE(test::writePicture(bare, type, 4, 2, grey));
        expected.emplace_back(bare, 1);
    }
    ASSERT_TRUE(test::exifToolWriteEach(tagging));

    for (const auto& [path, tag] : expected) {
        const PlistValue properties = PelloraImage(path).inputMetadata();
        ASSERT_FALSE(properties.isNull()) << path;
        EXPECT_EQ(orientationTagOf(properties), tag) << path;
        if (tag >= 1 && properties.dictionaryValue().contains(kImagePropertyTIFFDictionary)) {
            EXPECT_EQ(properties.dictionaryValue().get(kImagePropertyOrientation).intValue(), tag) << path;
        }
    }
}

} // namespace
} // namespace pellora
