#include "cli/BatchInputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unordered_set>

#include "jobs/BatchController.h"
#include "jobs/FolderScan.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace pellora::cli {
namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folders of a relative path as written, less "." and ".." components
// (and any empty ones from doubled slashes); "" for an absolute path.
std::string foldersAsWritten(const std::string& path) {
    if (path.empty() || path[0] == '/') return "";
    std::string folders;
    std::size_t start = 0;
    for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start)) {
        const std::string component = path.substr(start, slash - start);
        start = slash + 1;
        if (component.empty() || component == "." || component == "..") continue;
        folders += folders.empty() ? component : "/" + component;
    }
    return folders;
}

} // namespace

std::optional<std::vector<std::string>> readPathList(const std::string& file, bool nulSeparated, std::string& error) {
    const bool standardInput = file == "-";
    std::FILE* stream = standardInput ? stdin : std::fopen(file.c_str(), "rb");
    if (stream == nullptr) {
        error = fmt::format("cannot read the file list {}: {}", file, std::strerror(errno));
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, stream)) > 0;) bytes.append(buffer, read);
    const bool failed = std::ferror(stream) != 0;
    if (!standardInput) std::fclose(stream);
    if (failed) {
        error = fmt::format("cannot read the file list {}", file);
        return std::nullopt;
    }
    std::vector<std::string> paths;
    const char separator = nulSeparated ? '\0' : '\n';
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find(separator, start);
        if (end == std::string::npos) end = bytes.size();
        if (end > start) paths.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}

std::vector<BatchInput> expandInputs(const std::vector<std::string>& paths, bool recursive,
                                     std::vector<std::string>& foldersNotRead) {
    std::vector<BatchInput> inputs;
    std::unordered_set<std::string> seen;
    const auto add = [&](std::string path, std::string subfolder) {
        if (seen.insert(path).second) inputs.push_back({std::move(path), std::move(subfolder)});
    };
    for (const std::string& path : paths) {
        if (isFolder(path)) {
            const std::size_t notReadBefore = foldersNotRead.size();
            if (recursive) {
                for (FoundImageFile& file : imageFilesInFolderTree(path, foldersNotRead)) {
                    add(std::move(file.path), std::move(file.relativeFolder));
                }
            } else if (const auto names = folderEntryNamesInNaturalOrder(path)) {
                for (const std::string& name : *names) {
                    if (BatchController::pathPointsToImageFile(name)) add(path::stringByAppendingPathComponent(path, name), "");
                }
            } else {
                foldersNotRead.push_back(path);
            }
            for (std::size_t i = notReadBefore; i < foldersNotRead.size(); ++i) {
                Log::line(fmt::format("pellora-batch: cannot read the folder {}", foldersNotRead[i]));
            }
        } else if (BatchController::pathPointsToImageFile(path)) {
            add(path, recursive ? foldersAsWritten(path) : "");
        }
    }
    return inputs;
}

} // namespace pellora::cli
