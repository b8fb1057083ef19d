#include "jobs/FolderScan.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

#include "jobs/BatchController.h"
#include "jobs/NaturalNameOrder.h"
#include "platform/foundation/Paths.h"

namespace pellora {
namespace {

void collectImageFiles(const std::string& folder, const std::string& relativeFolder, std::vector<FoundImageFile>& found,
                       std::vector<std::string>& foldersNotRead) {
    const std::optional<std::vector<std::string>> names = folderEntryNamesInNaturalOrder(folder);
    if (!names) {
        foldersNotRead.push_back(folder);
        return;
    }
    for (const std::string& name : *names) {
        const std::string path = path::stringByAppendingPathComponent(folder, name);
        struct stat link {};
        if (::lstat(path.c_str(), &link) != 0) continue;
        if (S_ISDIR(link.st_mode)) {
            collectImageFiles(path, relativeFolder.empty() ? name : path::stringByAppendingPathComponent(relativeFolder, name),
                              found, foldersNotRead);
            continue;
        }
        struct stat target {};
        const bool linkToFolder = S_ISLNK(link.st_mode) && ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        if (!linkToFolder && BatchController::pathPointsToImageFile(name)) found.push_back({path, relativeFolder});
    }
}

} // namespace

std::optional<std::vector<std::string>> folderEntryNamesInNaturalOrder(const std::string& folder) {
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) return std::nullopt;
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(listing);
        if (entry == nullptr) break;
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    const int error = errno;
    ::closedir(listing);
    if (error != 0) {
        errno = error;
        return std::nullopt;
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return naturalNameLess(a, b); });
    return names;
}

std::vector<FoundImageFile> imageFilesInFolderTree(const std::string& folder, std::vector<std::string>& foldersNotRead) {
    std::vector<FoundImageFile> found;
    collectImageFiles(folder, "", found, foldersNotRead);
    return found;
}

} // namespace pellora
