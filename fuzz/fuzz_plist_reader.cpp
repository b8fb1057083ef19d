// Feeds arbitrary bytes to the XML property-list reader, then writes what it
// read and reads that again: writing the second read must give the same text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "FuzzQuietLog.h"
#include "platform/foundation/PlistXml.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const pellora::PlistValue value =
        pellora::readPlistXml(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!value.isNull()) {
        const std::string written = pellora::writePlistXml(value);
        if (pellora::writePlistXml(pellora::readPlistXml(written)) != written) std::abort();
    }
    return 0;
}
