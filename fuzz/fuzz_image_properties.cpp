// Opens arbitrary bytes as an image source and reads the properties of its
// first image: the header and the EXIF, IPTC and XMP metadata through Exiv2.
#include <cstddef>
#include <cstdint>

#include "FuzzQuietLog.h"
#include "platform/imageio/ImageSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto source = pellora::ImageSource::createWithData({data, size});
    if (!source) return 0;
    (void)source->copyPropertiesAtIndex(0);
    return 0;
}
