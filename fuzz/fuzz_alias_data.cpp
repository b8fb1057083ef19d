// Feeds arbitrary bytes to the alias resolver as alias data. It only reads the
// file system (stat, folder listings); a resolved path must be absolute and
// free of NUL bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzQuietLog.h"
#include "util/QVXAliasDataHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = pellora::QVXAliasDataHelper::filePathFromAliasData(pellora::PlistData(data, data + size));
    if (!path.empty() && (path.front() != '/' || path.find('\0') != std::string::npos)) std::abort();
    return 0;
}
