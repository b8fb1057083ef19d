#include "jobs/FolderScan.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

#include "jobs/BatchController.h"
#include "jobs/NaturalNameOrder.h"
#include "platform/foundation/Paths.h"

namespace pellora {
namespace {

void collectImageFiles(const std::string& folder, const std::string& relativeFolder,
                       std::vector<FoundImageFile>& found) {
    for (const std::string& name : folderEntryNamesInNaturalOrder(folder)) {
        const std::string path = path::stringByAppendingPathComponent(folder, name);
        struct stat link {};
        if (::lstat(path.c_str(), &link) != 0) continue;
        if (S_ISDIR(link.st_mode)) {
            collectImageFiles(path, relativeFolder.empty() ? name : path::stringByAppendingPathComponent(relativeFolder, name),
                              found);
            continue;
        }
        struct stat target {};
        const bool linkToFolder = S_ISLNK(link.st_mode) && ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        if (!linkToFolder && BatchController::pathPointsToImageFile(name)) found.push_back({path, relativeFolder});
    }
}

} // namespace

std::vector<std::string> folderEntryNamesInNaturalOrder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) return names;
    while (const dirent* entry = ::readdir(listing)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(listing);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return naturalNameLess(a, b); });
    return names;
}

std::vector<FoundImageFile> imageFilesInFolderTree(const std::string& folder) {
    std::vector<FoundImageFile> found;
    collectImageFiles(folder, "", found);
    return found;
}

} // namespace pellora
