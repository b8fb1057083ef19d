#include "jobs/FolderOpener.h"

#include <filesystem>
#include <system_error>

#include "platform/foundation/RecentlyUsedXbel.h"

namespace pellora {

std::string fileURLForFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(folder, error);
    if (error) absolute = folder;
    std::string path = absolute.lexically_normal().native();
    // A folder's URL carries no trailing slash ("/out/", "/out/." give "/out"), except the root.
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return RecentlyUsedXbel::fileURIForPath(path);
}

} // namespace pellora
