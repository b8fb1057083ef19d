#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pellora {

// The names of the entries directly inside a folder ("." and ".." left out,
// hidden names kept), in natural name order (naturalNameLess). nullopt, with
// errno set, when the folder cannot be listed.
std::optional<std::vector<std::string>> folderEntryNamesInNaturalOrder(const std::string& folder);

struct FoundImageFile {
    std::string path;            // the folder path joined with the names below it
    std::string relativeFolder;  // the folders between the scanned folder and the file ("" directly inside)
};

// The image files (named like one, as pathPointsToImageFile judges) inside a
// folder and in all its subfolders, each folder's entries in natural name
// order, a subfolder's files at the subfolder's place. Symbolic links to
// folders are not followed, so no tree is scanned twice and no loop is
// possible; a link to a file is taken like a file. Folders that cannot be
// listed are appended to foldersNotRead.
std::vector<FoundImageFile> imageFilesInFolderTree(const std::string& folder, std::vector<std::string>& foldersNotRead);

} // namespace pellora
