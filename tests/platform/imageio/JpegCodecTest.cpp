#include <gtest/gtest.h>

#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/ImageTestHelpers.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// JPEG files made by ImageMagick from one synthetic picture.
class JpegFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(test::runCommand("convert -size 97x61 -seed 7 plasma:orange-navy '" + source() + "'"), 0);
    }
    std::string source() const { return _dir.file("source.png"); }
    std::string convert(const std::string& options, const std::string& name) const {
        const std::string path = _dir.file(name);
        EXPECT_EQ(test::runCommand("convert '" + source() + "' " + options + " '" + path + "'"), 0);
        return path;
    }
    test::TempDir _dir;
};

TEST_F(JpegFiles, decodesAsImageMagickDoes) {
    struct Case {
        const char* options;
        const char* map;
        ColorModel model;
    };
    const Case cases[] = {
        {"-quality 85 -sampling-factor 2x2", "rgb", ColorModel::RGB},
        {"-quality 95 -sampling-factor 1x1 -interlace JPEG", "rgb", ColorModel::RGB},
        {"-colorspace Gray", "gray", ColorModel::Gray},
        {"-colorspace CMYK", "cmyk", ColorModel::CMYK},
    };
    int index = 0;
    for (const auto& c : cases) {
        const std::string path = convert(c.options, "case" + std::to_string(index++) + ".jpg");
        SCOPED_TRACE(c.options);
        const auto image = ImageSource::createWithPath(path)->decodeFirstImage();
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->colorModel, c.model);
        std::vector<std::uint8_t> samples = image->pixels;
        // ImageMagick reports ink; Adobe CMYK files store it inverted.
        if (image->cmykInverted) {
            for (auto& sample : samples) sample = static_cast<std::uint8_t>(255 - sample);
        }
        EXPECT_EQ(test::maxDifference(samples, test::imageMagickSamples(path, c.map)), 0);
    }
}

TEST_F(JpegFiles, reducedScaleDecodingNeverGoesBelowTheSizeAsked) {
    const std::string path = _dir.file("large.jpg");
    ASSERT_EQ(test::runCommand("convert -size 1001x751 gradient:white-black '" + path + "'"), 0);
    const auto source = ImageSource::createWithPath(path);
    struct Case {
        std::uint32_t minWidth, minHeight, width, height;
    };
    const Case cases[] = {
        {0, 0, 1001, 751},  {100, 90, 126, 94},   {126, 94, 126, 94},  {127, 0, 251, 188},
        {0, 188, 251, 188}, {251, 189, 501, 376}, {600, 0, 1001, 751}, {2000, 2000, 1001, 751},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "minimum " << c.minWidth << " x " << c.minHeight);
        DecodeOptions options;
        options.minWidth = c.minWidth;
        options.minHeight = c.minHeight;
        const auto image = source->decodeFirstImage(options);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, c.width);
        EXPECT_EQ(image->height, c.height);
        // A vertical gradient keeps its ends whatever the scale.
        EXPECT_GE(image->pixels.front(), 250);
        EXPECT_LE(image->pixels.back(), 5);
    }
}

TEST_F(JpegFiles, headerCarriesTheJfifDensityAndTheIccProfile) {
    const std::string bytes = test::srgbIccProfile();
    test::writeFile(_dir.file("srgb.icc"), bytes);

    const auto inches =
        ImageSource::createWithPath(
            convert("-units PixelsPerInch -density 300 -profile '" + _dir.file("srgb.icc") + "'", "inches.jpg"))
            ->header();
    ASSERT_TRUE(inches.has_value());
    EXPECT_TRUE(inches->hasResolution);
    EXPECT_EQ(inches->dpiWidth, 300.0);
    EXPECT_EQ(std::string(inches->iccProfile.begin(), inches->iccProfile.end()), bytes);

    const auto centimetres =
        ImageSource::createWithPath(convert("-units PixelsPerCentimeter -density 100", "cm.jpg"))->header();
    EXPECT_DOUBLE_EQ(centimetres->dpiHeight, 254.0);
    EXPECT_TRUE(centimetres->iccProfile.empty());

    const auto noDensity = ImageSource::createWithPath(convert("-strip", "plain.jpg"))->header();
    EXPECT_FALSE(noDensity->hasResolution);
}

// The luma sampling factor of a JPEG written at the given quality fraction,
// and the file's size.
std::pair<int, std::size_t> writeAtQuality(const test::TempDir& dir, double quality) {
    const std::string path = dir.file("q.jpg");
    const auto bitmap = test::makeTestBitmap(64, 64, false);
    const auto destination = ImageDestination::createWithPath(path, kUTTypeJPEG);
    destination->addImage(bitmap.view(), {{kCGImageDestinationLossyCompressionQuality, quality}});
    if (!destination->finalize()) return {0, 0};
    const std::string bytes = test::readFile(path);
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&info, TRUE);
    const int sampling = info.comp_info[0].h_samp_factor * 10 + info.comp_info[0].v_samp_factor;
    jpeg_destroy_decompress(&info);
    return {sampling, bytes.size()};
}

TEST_F(JpegFiles, qualityBelowNinetyPercentHalvesTheChroma) {
    EXPECT_EQ(writeAtQuality(_dir, 0.89).first, 22);  // 4:2:0
    EXPECT_EQ(writeAtQuality(_dir, 0.9f).first, 11);  // 4:4:4, also from a single-precision setting
    EXPECT_EQ(writeAtQuality(_dir, 1.0).first, 11);
    EXPECT_LT(writeAtQuality(_dir, 0.3).second, writeAtQuality(_dir, 0.8).second);
}

TEST_F(JpegFiles, aTruncatedFileIsRefusedRatherThanPaddedWithGrey) {
    for (const std::string options : {"", "-interlace JPEG"}) {
        const std::string whole = test::readFile(convert("-quality 90 " + options, "whole.jpg"));
        const std::string path = _dir.file("cut.jpg");
        test::writeFile(path, whole.substr(0, whole.size() * 2 / 3));
        test::LogCapture log;
        const auto source = ImageSource::createWithPath(path);
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->decodeFirstImage(), nullptr);
        EXPECT_EQ(log.lines().size(), 1u);
    }
}

} // namespace
} // namespace pellora
