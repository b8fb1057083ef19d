#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "jobs/JobTestSupport.h"
#include "platform/imageio/CodecRegistry.h"
#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

// Every registered encoder, written through ImageDestination and read back
// through ImageSource. An encoder joins this test by being registered.
namespace pellora {
namespace {

// Lossy formats and the largest sample difference allowed at quality 1.0 on
// the smooth test picture. Every other encoder must give the pixels back exactly.
const std::map<std::string, int> lossyTolerance = {{kImageTypeJPEG, 3}};
// Formats that cannot hold an alpha channel.
const std::set<std::string> formatsWithoutAlpha = {kImageTypeJPEG};

std::vector<std::string> registeredEncoderTypes() {
    std::vector<std::string> types;
    for (const auto& codec : CodecRegistry::shared().codecs()) {
        if (!codec->typeIdentifier().empty()) types.emplace_back(codec->typeIdentifier());
    }
    return types;
}

std::string testNameOf(const ::testing::TestParamInfo<std::string>& info) {
    std::string name(CodecRegistry::shared().codecForTypeIdentifier(info.param)->name());
    std::replace_if(name.begin(), name.end(), [](unsigned char ch) { return !std::isalnum(ch); }, '_');
    return name;
}

class EncoderRoundTrip : public ::testing::TestWithParam<std::string> {
protected:
    int tolerance() const {
        const auto lossy = lossyTolerance.find(GetParam());
        return lossy == lossyTolerance.end() ? 0 : lossy->second;
    }
    bool holdsAlpha() const { return !formatsWithoutAlpha.contains(GetParam()); }

    bool write(const std::string& path, const test::TestBitmap& bitmap, const PlistDictionary& properties) const {
        const auto destination = ImageDestination::createWithPath(path, GetParam());
        if (!destination) return false;
        destination->addImage(bitmap.view(), properties);
        return destination->finalize();
    }

    // Writes the bitmap at the best quality and 300 dpi and reads it back.
    DecodedImagePtr roundTrip(const test::TestBitmap& bitmap, bool hasAlpha) const {
        const std::string path = _dir.file("out");
        const PlistDictionary properties{{kImageDestinationLossyCompressionQuality, 1.0},
                                         {kImagePropertyHasAlpha, hasAlpha},
                                         {kImagePropertyDPIWidth, 300.0},
                                         {kImagePropertyDPIHeight, 300.0}};
        if (!write(path, bitmap, properties)) return nullptr;
        const auto source = ImageSource::createWithPath(path);
        if (!source || source->type() != GetParam()) return nullptr;
        return source->decodeFirstImage();
    }

    // The resolution the file's header gives.
    static void expectResolution(const std::string& path, double dpi) {
        const auto header = ImageSource::createWithPath(path)->header();
        ASSERT_TRUE(header.has_value());
        EXPECT_TRUE(header->hasResolution);
        EXPECT_NEAR(header->dpiWidth, dpi, 1e-9);
        EXPECT_NEAR(header->dpiHeight, dpi, 1e-9);
    }

    test::TempDir _dir;
};

// Odd sizes, so that row padding and partial JPEG blocks are exercised.
constexpr std::uint32_t width = 67, height = 45;

// Opaque pixels come back within the format's tolerance; with HasAlpha, the
// transparency too where the format holds it (ImageMagick reads what lossless
// formats wrote as the straight colours too); without an alpha channel,
// transparent areas are composited over white.
TEST_P(EncoderRoundTrip, pixelsAndTransparencyComeBackWithinTheFormatsTolerance) {
    const auto opaque = test::makeTestBitmap(width, height, false);
    const auto image = roundTrip(opaque, true);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(std::pair(image->width, image->height), std::pair(width, height));
    EXPECT_LE(test::maxVisibleDifference(test::rgba8(*image), opaque.pixels), tolerance());
    expectResolution(_dir.file("out"), 300.0);

    const auto bitmap = test::makeTestBitmap(width, height, true);
    for (const bool hasAlpha : {true, false}) {
        SCOPED_TRACE(hasAlpha ? "HasAlpha true" : "HasAlpha false");
        const auto translucent = roundTrip(bitmap, hasAlpha);
        ASSERT_NE(translucent, nullptr);
        EXPECT_EQ(translucent->hasAlpha, hasAlpha && holdsAlpha());
        if (translucent->hasAlpha) {
            // Premultiplied again, the straight colours read back give the input.
            EXPECT_LE(test::maxDifference(test::premultiplied(test::rgba8(*translucent)), bitmap.pixels), tolerance());
            if (tolerance() == 0) {
                EXPECT_TRUE(test::showsStraightColours(test::magickSamples(_dir.file("out"), "rgba"), bitmap));
            }
            continue;
        }
        EXPECT_EQ(test::rgba8(*translucent)[0], 255) << "a fully transparent pixel becomes white";
        EXPECT_TRUE(test::showsOverWhite(test::samples16(*translucent), bitmap, std::max(1, tolerance())));
        if (tolerance() == 0) {
            EXPECT_TRUE(test::showsOverWhite(test::magickSamples(_dir.file("out"), "rgba"), bitmap, 0));
        }
    }
}

// A missing folder, or a bitmap whose rows reach past its buffer, fails with
// one line and writes nothing (the bitmap is refused before a byte of it is
// read, by the destination and by the encoder itself); an existing file is
// replaced, with no temporary file left, at 72 dpi when none is given.
TEST_P(EncoderRoundTrip, failuresWriteNothingAndAnExistingFileIsReplaced) {
    const test::TestBitmap bitmap = test::makeTestBitmap(9, 7, false);
    RgbaBitmapView shortView = bitmap.view();
    shortView.byteCount -= 1;
    const Codec* codec = CodecRegistry::shared().codecForTypeIdentifier(GetParam());
    {
        test::LogCapture log;
        EXPECT_FALSE(write(_dir.file("missing/out"), bitmap, {}));
        std::vector<std::uint8_t> encoded;
        EXPECT_FALSE(codec->encode(shortView, {}, encoded));
        EXPECT_TRUE(encoded.empty());
        ASSERT_EQ(log.lines().size(), 2u);
        EXPECT_TRUE(log.lines()[1].starts_with(codec->name())) << log.lines()[1];
    }
    const auto destination = ImageDestination::createWithPath(_dir.file("out"), GetParam());
    destination->addImage(shortView, {});
    EXPECT_FALSE(destination->finalize());
    EXPECT_EQ(test::folderEntries(_dir.path()).size(), 0u);

    const std::string path = _dir.file("existing");
    test::writeFile(path, "old contents");
    ASSERT_TRUE(write(path, bitmap, {}));
    EXPECT_EQ(test::folderEntries(_dir.path()), std::vector<std::string>{"existing"});
    expectResolution(path, 72.0);
}

INSTANTIATE_TEST_SUITE_P(RegisteredEncoders, EncoderRoundTrip, ::testing::ValuesIn(registeredEncoderTypes()),
                         testNameOf);

} // namespace
} // namespace pellora
