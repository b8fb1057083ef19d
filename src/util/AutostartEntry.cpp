#include "util/AutostartEntry.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fmt/format.h>
#include <unistd.h>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Utf8.h"

namespace pellora::autostart {
namespace {

constexpr const char* kFilePrefix = "pellora-login-";
// Escaped names longer than this are cut and end in a hash of the whole name,
// keeping the file name well below the 255-byte limit of file systems.
constexpr std::size_t kMaxEscapedName = 200;
constexpr std::size_t kCutEscapedName = 180;

std::string autostartFolder() { return path::stringByAppendingPathComponent(path::configHome(), "autostart"); }

bool isFileNameSafe(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

std::uint64_t fnv1a(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3u;
    }
    return hash;
}

std::string escapedName(const std::string& name) {
    std::string escaped;
    for (const unsigned char c : name) {
        escaped += isFileNameSafe(c) ? std::string(1, static_cast<char>(c)) : fmt::format("_{:02X}", c);
    }
    // "_-" never occurs in an escaped name, so a cut name cannot equal an uncut one.
    if (escaped.size() > kMaxEscapedName) {
        escaped = fmt::format("{}_-{:016x}", escaped.substr(0, kCutEscapedName), fnv1a(name));
    }
    return escaped;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceAt(text, i).length;
        if (length == 0) return false;
        i += length;
    }
    return true;
}

bool hasForbiddenControl(const std::string& text) {
    for (const unsigned char c : text) {
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) return true;
    }
    return false;
}

// A string value of a key file: backslash, tab and line break escaped, and a
// leading space written as \s so that it is not trimmed.
std::string keyFileValue(const std::string& text) {
    std::string value;
    for (const char c : text) {
        if (c == '\\') value += "\\\\";
        else if (c == '\n') value += "\\n";
        else if (c == '\t') value += "\\t";
        else value += c;
    }
    if (!value.empty() && value.front() == ' ') value.replace(0, 1, "\\s");
    return value;
}

// One Exec argument, always quoted: inside double quotes '"', '`', '$' and '\'
// take a backslash.
std::string quotedExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

std::string entryFilePath(const std::string& name) {
    return path::stringByAppendingPathComponent(autostartFolder(), kFilePrefix + escapedName(name) + ".desktop");
}

std::optional<std::string> entryText(const std::string& path, bool hide) {
    // '=' is not allowed in the program of an Exec line. '%' would have to be
    // written "%%", but GLib looks the program up before it undoes that, so
    // such an entry would never start.
    if (path.empty() || !isValidUtf8(path) || hasForbiddenControl(path) ||
        path.find_first_of("=%") != std::string::npos) {
        return std::nullopt;
    }
    return fmt::format("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name={}\n"
                       "Exec={}\n"
                       "X-GNOME-Autostart-enabled=true\n"
                       "X-Pellora-Hide={}\n",
                       keyFileValue(path::lastPathComponent(path)), keyFileValue(quotedExecArgument(path)),
                       hide ? "true" : "false");
}

bool writeEntry(const std::string& path, bool hide) {
    const auto text = entryText(path, hide);
    if (!text) {
        Log::line(fmt::format("QVXLoginItemHelper: Cannot start {} at login: a desktop entry cannot hold its path",
                              path));
        return false;
    }
    if (!createDirectories(autostartFolder())) {
        Log::line(fmt::format("QVXLoginItemHelper: Cannot create {}", autostartFolder()));
        return false;
    }
    return writeFileAtomically(entryFilePath(path::lastPathComponent(path)), *text);
}

void removeEntry(const std::string& name) {
    const std::string file = entryFilePath(name);
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
        Log::line(fmt::format("QVXLoginItemHelper: Cannot remove {}: {}", file, std::strerror(errno)));
    }
}

} // namespace pellora::autostart
