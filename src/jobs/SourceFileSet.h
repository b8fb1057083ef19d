#pragma once

#include <set>
#include <string>
#include <sys/types.h>
#include <unordered_set>
#include <utility>

namespace pellora {

// The source files of an export, so that no output replaces one: a path is a
// source when it is one of the source paths as written, or when it reaches
// the same file as one of them (through a symbolic or hard link, or another
// spelling of the path), compared by device and inode.
class SourceFileSet {
public:
    void addSourcePath(const std::string& path);
    bool containsFileAtPath(const std::string& path) const;

private:
    std::unordered_set<std::string> _paths;
    std::set<std::pair<dev_t, ino_t>> _files;
};

} // namespace pellora
