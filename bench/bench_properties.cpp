// Reading the properties of a 24-megapixel JPEG that carries EXIF and a 45 KB
// XMP packet: opening the file (it is read whole) and the header and metadata
// through Exiv2. Usage: bench_properties [photo.jpg]; without a file, a
// 6000 x 4000 picture with such metadata is made in a temporary folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "BenchPictures.h"
#include "BenchSupport.h"
#include "platform/imageio/ImageSource.h"

namespace {

using namespace pellora;

// An XMP packet of about 45 KB: a long keyword list, as photo libraries write.
std::string xmpPacket() {
    std::string keywords;
    for (int i = 0; keywords.size() < 45'000; ++i) {
        keywords += "<rdf:li>keyword number " + std::to_string(i) + " of the library</rdf:li>";
    }
    return "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
           "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' "
           "xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:subject><rdf:Bag>" +
           keywords + "</rdf:Bag></dc:subject></rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
}

} // namespace

int main(int argc, char** argv) {
    const PlistDictionary metadata{
        {kImagePropertyTIFFDictionary, PlistDictionary{{"Make", "Canon"}, {"Model", "Canon EOS 5D"}}},
        {kImagePropertyExifDictionary, PlistDictionary{{"ExposureTime", 0.004}, {"FNumber", 5.6}}},
        {kPelloraPropertySourceMetadata, PlistDictionary{{"XMP", xmpPacket()}}}};
    const bench::BenchPhoto photo(argc, argv, metadata);
    const std::string& path = photo.path();
    if (path.empty()) return 1;
    const auto source = ImageSource::createWithPath(path);
    if (!source) return 1;
    const PlistValue properties = source->copyPropertiesAtIndex(0);
    const std::string& xmp =
        properties.dictionaryValue().get(kPelloraPropertySourceMetadata).dictionaryValue().get("XMP").stringValue();
    std::printf("%s: %lld x %lld, XMP packet %zu bytes\n", path.c_str(),
                static_cast<long long>(properties.dictionaryValue().get(kImagePropertyPixelWidth).integerValue()),
                static_cast<long long>(properties.dictionaryValue().get(kImagePropertyPixelHeight).integerValue()),
                xmp.size());

    constexpr int runs = 21;
    const double open = bench::medianMilliseconds(runs, [&] { return ImageSource::createWithPath(path) != nullptr; });
    const double read = bench::medianMilliseconds(runs, [&] { return !source->copyPropertiesAtIndex(0).isNull(); });
    const double both = bench::medianMilliseconds(runs, [&] {
        const auto fresh = ImageSource::createWithPath(path);
        return fresh && !fresh->copyPropertiesAtIndex(0).isNull();
    });
    std::printf("open (file read whole): median %6.2f ms\n", open);
    std::printf("properties (header, EXIF, XMP): median %6.2f ms\n", read);
    std::printf("open + properties, as inputMetadata does: median %6.2f ms (%d runs each)\n", both, runs);
    return 0;
}
