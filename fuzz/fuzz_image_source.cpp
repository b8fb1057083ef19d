// Opens arbitrary bytes as an image source, reads the header, walks the byte
// ranges a header read would take, reads the stored EXIF preview, and decodes
// the first image, at full scale and at a reduced one.
#include <cstddef>
#include <cstdint>

#include "FuzzQuietLog.h"
#include "platform/imageio/CodecCalls.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/metadata/TiffStreamReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto source = pellora::ImageSource::createWithData({data, size});
    if (!source) return 0;
    (void)source->header();
    pellora::tiff::MemoryRanges ranges({data, size});
    (void)pellora::readHeaderRangesOf(source->codec(), ranges);
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
