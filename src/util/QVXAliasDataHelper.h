#pragma once

#include <string>

#include "platform/foundation/PlistValue.h"

namespace pellora {

// Alias data: a small persistent reference to a file or folder that finds it
// again after it has been renamed within its folder. The bytes are a versioned
// record of the file's canonical path and of the device and inode numbers of
// the file and of its folder.
class QVXAliasDataHelper {
public:
    // Codes in the resolve log line, after the platform's classic codes.
    static constexpr int kParamErr = -50;        // not a well-formed alias record
    static constexpr int kFileNotFoundErr = -43;  // the file is gone

    // The alias data of an existing file or folder; empty (after the line
    // "QVXAliasDataHelper: Can't get URL") when the path names nothing.
    static PlistData aliasDataFromFilePath(const std::string& path);

    // The current path of the file the data designates, or "" after the line
    // "QVXAliasDataHelper: Could not resolve alias date. Error = <code>".
    static std::string filePathFromAliasData(const PlistData& data);
};

} // namespace pellora
