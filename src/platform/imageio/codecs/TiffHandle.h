#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <tiffio.h>

#include "platform/imageio/codecs/CodecSupport.h"

namespace pellora {

// libtiff's errors and warnings for one open file, collected per handle (not
// through libtiff's process-wide handlers) so that threads never mix them.
struct TiffMessages {
    std::string firstError;
    std::string firstWarning;
    int warningCount = 0;

    // "libtiff: <first error>" or a fallback when libtiff gave no reason.
    std::string errorOr(std::string_view fallback) const;
    // Logs the warnings of a file that was read anyway, as one line.
    void logWarnings(std::string_view codec) const;
};

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// Opens TIFF data held in memory for reading (first directory loaded), or
// nullptr with the reason in messages. The input and messages must outlive the handle.
TiffPtr openTiffForReading(MemoryInput& input, TiffMessages& messages);
// Opens an empty TIFF that writes into output, or nullptr with the reason in messages.
TiffPtr openTiffForWriting(MemoryOutput& output, TiffMessages& messages);

} // namespace pellora
