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

// Corrupt and looping EXIF, and an XMP packet so large that parsing it would
// take about fifteen times its size in memory, which is left unread.
TEST(HostileProperties, corruptLoopingOrHugeMetadataGivesTheHeaderEntriesAndALogLine) {
    test::TempDir dir;
    const std::string jpeg = smallPicture(dir, kImageTypeJPEG, "plain.jpg");
    const std::string png = smallPicture(dir, kImageTypePNG, "plain.png");
    const std::string packet = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
                               "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
                               "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:format>" +
                               std::string(20 << 20, 'x') +
                               "</dc:format></rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
    // Whether a line is logged, and whether the source's metadata is left out.
    const std::tuple<const char*, std::string, bool, bool> cases[] = {
        {"wild EXIF", withExif(jpeg, "II*\0\x08\0\0\0" + std::string(64, '\xFF')), true, false},
        {"looping EXIF", withExif(jpeg, loopingExif()), false, false},
        {"huge XMP", withChunk(png, "iTXt", std::string("XML:com.adobe.xmp\0\0\0\0\0", 22) + packet), true, true},
    };
    for (const auto& [name, bytes, logged, leftOut] : cases) {
        SCOPED_TRACE(name);
        test::LogCapture log;
        const auto source = ImageSource::createWithData(test::bytesOf(bytes));
        ASSERT_NE(source, nullptr);
        const PlistValue properties = source->copyPropertiesAtIndex(0);
        EXPECT_EQ(properties.dictionaryValue().get(kImagePropertyPixelWidth).intValue(), 8);
        EXPECT_FALSE(leftOut && properties.dictionaryValue().contains(kPelloraPropertySourceMetadata));
        EXPECT_TRUE(!logged || !log.lines().empty());
    }
}

} // namespace
} // namespace pellora
