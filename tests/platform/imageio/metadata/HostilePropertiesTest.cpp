#include <gtest/gtest.h>

#include "model/PipelineTestSupport.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "platform/imageio/TiffBytes.h"
#include "support/ImageTestSupport.h"

// Properties of files whose metadata is hostile: the header's entries (or
// nothing) and a log line, never a crash or a hang.
namespace pellora {
namespace {

std::string smallPicture(const test::TempDir& dir, const char* type, const std::string& name) {
    const std::string path = dir.file(name);
    EXPECT_TRUE(test::writePicture(path, type, 8, 6, [](auto, auto) { return test::Rgba{10, 20, 30, 255}; }));
    return test::readFile(path);
}

// The JPEG with an APP1 EXIF segment holding the TIFF-structured block.
std::string withExif(std::string jpeg, const std::string& tiff) {
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const auto length = std::uint16_t(payload.size() + 2);
    return jpeg.insert(2, std::string("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload);
}

// The PNG with a chunk inserted before IEND.
std::string withChunk(std::string png, const std::string& type, const std::string& data) {
    return png.insert(png.size() - 12, test::pngChunk(type, data));
}

struct Outcome {
    PlistValue properties;
    std::vector<std::string> log;
};

Outcome propertiesOf(const std::string& bytes) {
    test::LogCapture log;
    const auto source = ImageSource::createWithData({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    Outcome outcome;
    if (source) outcome.properties = source->copyPropertiesAtIndex(0);
    outcome.log = log.lines();
    return outcome;
}

void expectHeaderEntriesOnly(const Outcome& outcome, std::uint32_t width) {
    ASSERT_FALSE(outcome.properties.isNull());
    EXPECT_EQ(outcome.properties.dictionaryValue().get(kCGImagePropertyPixelWidth).intValue(), int(width));
    EXPECT_FALSE(outcome.log.empty());
}

// A little-endian TIFF block: IFD0 at offset 8 with Make and an EXIF IFD
// pointer that both lead back to IFD0, whose next-IFD link is itself.
std::string loopingExif() {
    test::TiffBytes tiff;
    tiff.u16(3);
    tiff.entry(0x010F, 2, 4, 0x0041424D);  // Make "MBA"
    tiff.entry(0x8769, 4, 1, 8);           // Exif IFD: IFD0 again
    tiff.entry(0x8825, 4, 1, 8);           // GPS IFD: IFD0 again
    tiff.u32(8);                           // next IFD: itself
    return tiff.text();
}

TEST(HostileProperties, corruptAndLoopingExifGiveTheHeaderEntriesAndALogLine) {
    test::TempDir dir;
    const std::string jpeg = smallPicture(dir, kUTTypeJPEG, "plain.jpg");

    std::string wild = "II*\0\x08\0\0\0" + std::string(64, '\xFF');
    expectHeaderEntriesOnly(propertiesOf(withExif(jpeg, wild)), 8);

    const Outcome looping = propertiesOf(withExif(jpeg, loopingExif()));
    ASSERT_FALSE(looping.properties.isNull());
    EXPECT_EQ(looping.properties.dictionaryValue().get(kCGImagePropertyPixelWidth).intValue(), 8);
}

TEST(HostileProperties, aHugeXmpPacketIsLeftUnreadWithALogLine) {
    test::TempDir dir;
    // Parsing it would take about fifteen times its size in memory.
    const std::string png = smallPicture(dir, kUTTypePNG, "plain.png");
    const std::string packet = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
                               "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
                               "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:format>" +
                               std::string(20 << 20, 'x') +
                               "</dc:format></rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
    const Outcome outcome = propertiesOf(withChunk(png, "iTXt", std::string("XML:com.adobe.xmp\0\0\0\0\0", 22) + packet));
    expectHeaderEntriesOnly(outcome, 8);
    EXPECT_FALSE(outcome.properties.dictionaryValue().contains(kPelloraPropertySourceMetadata));
}

} // namespace
} // namespace pellora
