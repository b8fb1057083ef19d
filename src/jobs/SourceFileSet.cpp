#include "jobs/SourceFileSet.h"

#include <sys/stat.h>

namespace pellora {

void SourceFileSet::addSourcePath(const std::string& path) {
    if (!_paths.insert(path).second) return;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) _files.emplace(info.st_dev, info.st_ino);
}

bool SourceFileSet::containsFileAtPath(const std::string& path) const {
    if (_paths.count(path) != 0) return true;
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && _files.count({info.st_dev, info.st_ino}) != 0;
}

} // namespace pellora
