// Opens arbitrary bytes as an image source, reads the header, the extent of
// the file a header read keeps and the stored EXIF preview, and decodes the
// first image, at full scale and at a reduced one.
#include <cstddef>
#include <cstdint>

#include "FuzzQuietLog.h"
#include "platform/imageio/HeaderExtent.h"
#include "platform/imageio/ImageSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto source = pellora::ImageSource::createWithData({data, size});
    if (!source) return 0;
    (void)source->header();
    (void)pellora::headerExtent({data, size});
    (void)source->exifPreview();
    (void)source->count();
    // Limits small enough that a fuzzed header cannot make the fuzzer run out
    // of memory, yet larger than any seed.
    pellora::DecodeOptions options;
    options.limits = {.maxPixels = 4'000'000, .maxSide = 8'192};
    (void)source->decodeFirstImage(options);
    options.minWidth = 3;
    options.minHeight = 2;
    (void)source->decodeFirstImage(options);
    return 0;
}
