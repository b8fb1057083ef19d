#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

#include "platform/imageio/ImageSource.h"
#include "support/ImageTestSupport.h"
#include "support/TestSupport.h"

// Files that lie or are not files at all: each gives one log line and no
// image, and nothing crashes (the ASan build runs these too). Truncated files
// are refused codec by codec in codecs/CodecTest.
namespace pellora {
namespace {

std::size_t linesSayingLimits(const test::LogCapture& log) {
    const auto lines = log.lines();
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("exceeds the limits") != std::string::npos;
    }));
}

// A well-formed PNG whose header claims width × height RGB pixels.
std::string pngClaiming(std::uint32_t width, std::uint32_t height) {
    std::string header{char(width >> 24), char(width >> 16), char(width >> 8), char(width),
                       char(height >> 24), char(height >> 16), char(height >> 8), char(height)};
    header += std::string("\x08\x02\x00\x00\x00", 5);
    const std::string emptyZlibStream("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
    return "\x89PNG\r\n\x1a\n" + test::pngChunk("IHDR", header) + test::pngChunk("IDAT", emptyZlibStream) + test::pngChunk("IEND", "");
}

// A small JPEG with the frame header patched to claim 65500 × 65500 (the most libjpeg takes).
std::string jpegClaimingTheLargestSize(const test::TempDir& dir) {
    const std::string path = dir.file("small.jpg");
    if (!test::magick("-size 16x16 gradient: " + test::quoted(path))) return {};
    std::string jpeg = test::readFile(path);
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == '\xff' && (jpeg[i + 1] == '\xc0' || jpeg[i + 1] == '\xc2')) {
            jpeg.replace(i + 5, 4, "\xff\xdc\xff\xdc");
            return jpeg;
        }
    }
    return {};
}

TEST(HostileInput, pathsThatAreNotReadableImagesGiveNoSource) {
    test::TempDir dir;
    test::writeFile(dir.file("empty.jpg"), "");
    ASSERT_EQ(::mkdir(dir.file("folder.jpg").c_str(), 0755), 0);
    test::writeFile(dir.file("notes.png"), "These are notes, not pixels.\n");
    ASSERT_EQ(::mkfifo(dir.file("pipe.png").c_str(), 0600), 0);  // opening must not wait for a writer
    for (const auto* name : {"empty.jpg", "folder.jpg", "notes.png", "missing.png", "pipe.png"}) {
        SCOPED_TRACE(name);
        test::LogCapture log;
        EXPECT_EQ(ImageSource::createWithPath(dir.file(name)), nullptr);
        EXPECT_EQ(log.lines().size(), 1u);
    }
    test::LogCapture log;
    EXPECT_EQ(ImageSource::createWithData({}), nullptr);
    EXPECT_EQ(log.lines().size(), 1u);
}

TEST(HostileInput, headerBombsAreRefusedBeforeAnyPixelIsAllocated) {
    test::TempDir dir;
    const std::string bombs[] = {pngClaiming(100000, 100000), test::bmpFile(100000, 100000, 8, 1, std::string("\0\0\0\0\xff\xff\xff\0", 8), "\x04\x01\x00\x01"),
                                 jpegClaimingTheLargestSize(dir)};
    for (const auto& bomb : bombs) {
        const auto source = ImageSource::createWithData(test::bytesOf(bomb));
        ASSERT_NE(source, nullptr);
        SCOPED_TRACE(source->codec().name());
        const auto header = source->header();
        ASSERT_TRUE(header.has_value());
        EXPECT_GE(header->width, 65500u);
        test::LogCapture log;
        EXPECT_EQ(source->decodeFirstImage(), nullptr);
        // The codec holds the limits on its own too, without the source's check.
        EXPECT_EQ(source->codec().decode(test::bytesOf(bomb), {}), nullptr);
        EXPECT_EQ(log.lines().size(), 2u);
        EXPECT_EQ(linesSayingLimits(log), 2u);
    }
}

TEST(HostileInput, theLimitsAreTheCallersToChoose) {
    const std::string png = pngClaiming(300, 200);
    const auto source = ImageSource::createWithData(test::bytesOf(png));
    ASSERT_NE(source, nullptr);
    test::LogCapture log;
    DecodeOptions options;
    options.limits.maxSide = 299;
    EXPECT_EQ(source->decodeFirstImage(options), nullptr);
    options.limits = {.maxPixels = 59'999, .maxSide = 65'535};
    EXPECT_EQ(source->decodeFirstImage(options), nullptr);
    EXPECT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(linesSayingLimits(log), 2u);
}

} // namespace
} // namespace pellora
