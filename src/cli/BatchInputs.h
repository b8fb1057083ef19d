#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pellora::cli {

// One image file of the run, and the folder its output goes into, relative
// to the destination ("" for the destination itself).
struct BatchInput {
    std::string path;
    std::string outputSubfolder;
};

// The paths listed in a file (standard input for "-"): one per line, or
// separated by NUL bytes, as `find -print0` writes them. Entries are byte
// strings taken as they stand; empty entries are left out. nullopt, with
// error set, when the file cannot be read.
std::optional<std::vector<std::string>> readPathList(const std::string& file, bool nulSeparated, std::string& error);

// The image files named by paths, in order: a folder gives its image files in
// natural name order (to any depth when recursive), another path is kept when
// it is named like an image file. A path met again is left out.
// When recursive, each file keeps its folders under the destination: relative
// to the folder argument it was found in, or, for a file named by a relative
// path, that path's folders as written ("." and ".." left out, so that no
// output lands outside the destination). Folders that cannot be listed are
// logged and appended to foldersNotRead.
std::vector<BatchInput> expandInputs(const std::vector<std::string>& paths, bool recursive,
                                     std::vector<std::string>& foldersNotRead);

} // namespace pellora::cli
