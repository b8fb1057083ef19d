#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

#include "platform/imageio/CodecRegistry.h"
#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/ImageFileTypes.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

const std::string suite = std::string(PELLORA_TEST_DATA_DIR) + "/pngsuite";

bool listed(const std::string& extension) {
    const auto& types = imageFileTypes();
    return std::find(types.begin(), types.end(), extension) != types.end();
}

TEST(ImageFileTypes, everyCaseFormOfEveryDecoderExtensionIsAnEntryOfItsOwn) {
    for (const auto* form : {"jpg", "JPG", "Jpg", "jPg", "jpG", "JPg", "jPG", "JpG", "png", "PnG", "bmp", "BMP"}) {
        EXPECT_TRUE(listed(form)) << form;
    }
    std::size_t expected = 0;
    for (const auto& codec : CodecRegistry::shared().codecs()) {
        for (const auto& extension : codec->extensions()) {
            std::size_t forms = 1;
            for (const char ch : extension) forms *= std::isalpha(static_cast<unsigned char>(ch)) ? 2 : 1;
            expected += forms;  // the registry's extensions are distinct
        }
    }
    const auto& types = imageFileTypes();
    EXPECT_EQ(types.size(), expected);
    EXPECT_EQ(std::set<std::string>(types.begin(), types.end()).size(), types.size());
    EXPECT_FALSE(listed("txt"));
    EXPECT_FALSE(listed(""));
}

TEST(ImageSource, theCodecIsChosenByTheBytesNotTheName) {
    test::TempDir dir;
    test::writeFile(dir.file("really-a-png.jpg"), test::readFile(suite + "/png/basn2c08.png"));
    const auto source = ImageSource::createWithPath(dir.file("really-a-png.jpg"));
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->type(), kImageTypePNG);
    EXPECT_EQ(source->count(), 1u);
    EXPECT_NE(source->decodeFirstImage(), nullptr);
}

// The embedded profile is read in codecs/CodecTest with the other formats'.
TEST(ImageSource, pngHeaderCarriesResolutionAndLayoutWithoutPixels) {
    const auto metric = ImageSource::createWithPath(suite + "/png/cdun2c08.png")->header();  // 1000 px/m
    ASSERT_TRUE(metric.has_value());
    EXPECT_TRUE(metric->hasResolution);
    EXPECT_DOUBLE_EQ(metric->dpiWidth, 25.4);
    const auto aspectOnly = ImageSource::createWithPath(suite + "/png/cdfn2c08.png")->header();
    EXPECT_FALSE(aspectOnly->hasResolution);

    // A palette with transparency (tRNS) reads as indexed RGB with alpha.
    const auto palette = ImageSource::createWithPath(suite + "/png/tbbn3p08.png")->header();
    EXPECT_EQ(std::tuple(palette->isIndexed, palette->hasAlpha, palette->colorModel), std::tuple(true, true, ColorModel::RGB));
    const auto grey = ImageSource::createWithPath(suite + "/png/basn0g16.png")->header();
    EXPECT_EQ(std::pair(grey->colorModel, grey->bitsPerComponent), std::pair(ColorModel::Gray, 16));
}

// Paths that are not readable images give one log line and no source, and
// nothing waits or crashes. Files that lie are refused codec by codec in
// codecs/CodecTest.
TEST(ImageSource, pathsThatAreNotReadableImagesGiveNoSource) {
    test::TempDir dir;
    test::writeFile(dir.file("empty.jpg"), "");
    ASSERT_EQ(::mkdir(dir.file("folder.jpg").c_str(), 0755), 0);
    test::writeFile(dir.file("notes.png"), "These are notes, not pixels.\n");
    ASSERT_EQ(::mkfifo(dir.file("pipe.png").c_str(), 0600), 0);  // opening must not wait for a writer
    for (const auto* name : {"empty.jpg", "folder.jpg", "notes.png", "missing.png", "pipe.png", ""}) {
        SCOPED_TRACE(name);
        test::LogCapture log;
        EXPECT_EQ(*name ? ImageSource::createWithPath(dir.file(name)) : ImageSource::createWithData({}), nullptr);
        EXPECT_EQ(log.lines().size(), 1u);
    }
}

// PNG output is tagged sRGB; misuse (an unknown type, no image added, rows
// shorter than the width) fails with one line and writes nothing.
TEST(ImageDestination, pngOutputIsTaggedSrgbAndMisuseWritesNothing) {
    test::TempDir dir;
    const auto bitmap = test::makeTestBitmap(4, 4, false);
    auto destination = ImageDestination::createWithPath(dir.file("tagged.png"), kImageTypePNG);
    destination->addImage(bitmap.view(), {});
    ASSERT_TRUE(destination->finalize());
    EXPECT_NE(test::readFile(dir.file("tagged.png")).find("sRGB"), std::string::npos);

    const std::string out = dir.file("out.png");
    const std::uint8_t pixels[16] = {};
    const std::pair<const char*, std::function<bool()>> misuses[] = {
        {"an unknown type", [&] { return ImageDestination::createWithPath(out, "com.compuserve.gif") != nullptr; }},
        {"no image added", [&] { return ImageDestination::createWithPath(out, kImageTypePNG)->finalize(); }},
        {"rows shorter than the width",
         [&] {
             destination = ImageDestination::createWithPath(out, kImageTypePNG);
             destination->addImage({pixels, 4, 1, 8, sizeof pixels}, {});
             return destination->finalize();
         }},
    };
    for (const auto& [what, misuse] : misuses) {
        SCOPED_TRACE(what);
        test::LogCapture log;
        EXPECT_FALSE(misuse());
        EXPECT_EQ(log.lines().size(), 1u);
    }
    EXPECT_FALSE(test::fileExists(dir.file("out.png")));
}

} // namespace
} // namespace pellora
