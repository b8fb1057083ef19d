#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pellora::test {

// Tags of a file as exiftool reports them ("-a -G1 -s", raw values), keyed
// "Group:Tag". Groups that describe the file rather than its metadata
// (ExifTool, System, File, Composite) are left out.
std::map<std::string, std::string> exifToolTags(const std::string& path);
// The same for several files in one exiftool run (it starts slowly), in order;
// selection narrows the tags ("-MakerNotes:all").
std::vector<std::map<std::string, std::string>> exifToolTagsOfEach(const std::vector<std::string>& paths,
                                                                   const std::string& selection = "");

// Runs exiftool with the arguments on path (overwriting it); true on success.
bool exifToolWrite(const std::string& path, const std::string& arguments);

// Writes several files in one exiftool run (it starts slowly): for each file,
// its own arguments, one per element ("-Orientation#=6"). true when all succeeded.
bool exifToolWriteEach(const std::vector<std::pair<std::string, std::vector<std::string>>>& filesAndArguments);

} // namespace pellora::test
