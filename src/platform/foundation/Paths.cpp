#include "platform/foundation/Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace pellora::path {
namespace {

// Drops trailing slashes, keeping a lone "/".
std::string withoutTrailingSlashes(const std::string& path) {
    std::string result = path;
    while (result.size() > 1 && result.back() == '/') result.pop_back();
    return result;
}

std::string absoluteEnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] == '/') return value;
    return fallback;
}

} // namespace

std::string lastPathComponent(const std::string& path) {
    const std::string trimmed = withoutTrailingSlashes(path);
    if (trimmed == "/") return trimmed;
    const auto slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string pathExtension(const std::string& path) {
    const std::string name = lastPathComponent(path);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string stringByDeletingPathExtension(const std::string& path) {
    const std::string trimmed = withoutTrailingSlashes(path);
    const auto slash = trimmed.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = trimmed.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) return trimmed;
    return trimmed.substr(0, dot);
}

std::string stringByAppendingPathComponent(const std::string& path, const std::string& component) {
    std::size_t skip = 0;
    while (skip < component.size() && component[skip] == '/') ++skip;
    const std::string tail = withoutTrailingSlashes(component.substr(skip));
    if (path.empty()) return tail;
    std::string head = withoutTrailingSlashes(path);
    if (tail.empty() || tail == "/") return head;
    if (head != "/") head += '/';
    return head + tail;
}

std::vector<std::string> pathComponents(const std::string& path) {
    std::vector<std::string> components;
    if (path.empty()) return components;
    if (path.front() == '/') components.emplace_back("/");
    std::size_t start = 0;
    while (start < path.size()) {
        const auto slash = path.find('/', start);
        const auto end = slash == std::string::npos ? path.size() : slash;
        if (end > start) components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (path.size() > 1 && path.back() == '/') components.emplace_back("/");
    return components;
}

std::string homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

std::string stringByExpandingTildeInPath(const std::string& path) {
    if (path.empty() || path.front() != '~') return path;
    if (path.size() == 1 || path[1] == '/') return homeDirectory() + path.substr(1);
    return path;  // "~user" forms are not used by this application
}

std::string configHome() {
    return absoluteEnvOr("XDG_CONFIG_HOME", stringByAppendingPathComponent(homeDirectory(), ".config"));
}

std::string dataHome() {
    return absoluteEnvOr("XDG_DATA_HOME", stringByAppendingPathComponent(homeDirectory(), ".local/share"));
}

} // namespace pellora::path
