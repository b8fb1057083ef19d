#pragma once

#include <map>
#include <string>

namespace pellora::test {

// Tags of a file as exiftool reports them ("-a -G1 -s", raw values), keyed
// "Group:Tag". Groups that describe the file rather than its metadata
// (ExifTool, System, File, Composite) are left out.
std::map<std::string, std::string> exifToolTags(const std::string& path);

// Runs exiftool with the arguments on path (overwriting it); true on success.
bool exifToolWrite(const std::string& path, const std::string& arguments);

} // namespace pellora::test
