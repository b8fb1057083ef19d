#include <gtest/gtest.h>

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
    EXPECT_EQ(source->type(), kUTTypePNG);
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

TEST(ImageDestination, pngOutputIsTaggedSrgb) {
    test::TempDir dir;
    const auto bitmap = test::makeTestBitmap(4, 4, false);
    const auto destination = ImageDestination::createWithPath(dir.file("out.png"), kUTTypePNG);
    destination->addImage(bitmap.view(), {});
    ASSERT_TRUE(destination->finalize());
    EXPECT_NE(test::readFile(dir.file("out.png")).find("sRGB"), std::string::npos);
}

TEST(ImageDestination, misuseFailsWithOneLineAndWritesNothing) {
    test::TempDir dir;
    {
        test::LogCapture log;
        EXPECT_EQ(ImageDestination::createWithPath(dir.file("out.gif"), "com.compuserve.gif"), nullptr);
        EXPECT_EQ(log.lines().size(), 1u);
    }
    {
        test::LogCapture log;
        const auto destination = ImageDestination::createWithPath(dir.file("out.png"), kUTTypePNG);
        EXPECT_FALSE(destination->finalize());  // no image added
        EXPECT_EQ(log.lines().size(), 1u);
    }
    {
        test::LogCapture log;
        const auto destination = ImageDestination::createWithPath(dir.file("out.png"), kUTTypePNG);
        const std::uint8_t pixels[16] = {};
        destination->addImage({pixels, 4, 1, 8, sizeof pixels}, {});  // rows shorter than the width
        EXPECT_FALSE(destination->finalize());
        EXPECT_EQ(log.lines().size(), 1u);
    }
    EXPECT_FALSE(test::fileExists(dir.file("out.png")));
}

} // namespace
} // namespace pellora
