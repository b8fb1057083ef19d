#include "util/QVXAliasDataHelper.h"

#include <array>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fmt/format.h>
#include <memory>
#include <optional>
#include <sys/stat.h>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace pellora {
namespace {

// Record layout, integers little-endian:
//   magic "PLAD", u16 version (1),
//   u64 device, u64 inode of the file, u64 device, u64 inode of its folder,
//   u32 path length, the canonical absolute path (no NUL byte), nothing after.
constexpr std::array<std::uint8_t, 4> kMagic{'P', 'L', 'A', 'D'};
constexpr std::uint16_t kVersion = 1;
constexpr std::uint32_t kMaxPathLength = PATH_MAX;

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool matches(const struct stat& info) const {
        return device == static_cast<std::uint64_t>(info.st_dev) && inode == static_cast<std::uint64_t>(info.st_ino);
    }
};

// What the record holds: the platform's file reference, in our own form.
struct FileReference {
    std::string path;
    FileIdentity file;
    FileIdentity folder;
};

FileIdentity identityOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

// The reference of an existing file or folder, by its canonical path.
std::optional<FileReference> posixStringToFSRef(const std::string& path) {
    struct stat fileInfo {};
    struct stat folderInfo {};
    std::unique_ptr<char, decltype(&std::free)> canonical(nullptr, &std::free);
    if (!path.empty() && path.find('\0') == std::string::npos) canonical.reset(::realpath(path.c_str(), nullptr));
    if (canonical == nullptr || ::stat(canonical.get(), &fileInfo) != 0 ||
        ::stat(folderOfPath(canonical.get()).c_str(), &folderInfo) != 0) {
        Log::line("QVXAliasDataHelper: Can't get URL");
        return std::nullopt;
    }
    return FileReference{canonical.get(), identityOf(fileInfo), identityOf(folderInfo)};
}

void appendInteger(PlistData& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

PlistData encode(const FileReference& reference) {
    PlistData out(kMagic.begin(), kMagic.end());
    appendInteger(out, kVersion, 2);
    for (const FileIdentity& identity : {reference.file, reference.folder}) {
        appendInteger(out, identity.device, 8);
        appendInteger(out, identity.inode, 8);
    }
    appendInteger(out, reference.path.size(), 4);
    out.insert(out.end(), reference.path.begin(), reference.path.end());
    return out;
}

// Reads fields from untrusted bytes; every read checks the bounds first.
class RecordReader {
public:
    explicit RecordReader(const PlistData& data) : _data(data) {}

    std::optional<std::uint64_t> integer(int bytes) {
        if (remaining() < static_cast<std::size_t>(bytes)) return std::nullopt;
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint64_t>(_data[_offset++]) << (8 * i);
        return value;
    }

    std::optional<std::string> text(std::size_t length) {
        if (remaining() < length) return std::nullopt;
        std::string value(_data.begin() + static_cast<std::ptrdiff_t>(_offset),
                          _data.begin() + static_cast<std::ptrdiff_t>(_offset + length));
        _offset += length;
        return value;
    }

    std::size_t remaining() const { return _data.size() - _offset; }

private:
    const PlistData& _data;
    std::size_t _offset = 0;
};

std::optional<FileReference> decode(const PlistData& data) {
    RecordReader reader(data);
    for (const std::uint8_t expected : kMagic) {
        if (reader.integer(1) != expected) return std::nullopt;
    }
    if (reader.integer(2) != kVersion) return std::nullopt;
    FileReference reference;
    for (FileIdentity* identity : {&reference.file, &reference.folder}) {
        const auto device = reader.integer(8);
        const auto inode = reader.integer(8);
        if (!device || !inode) return std::nullopt;
        *identity = {*device, *inode};
    }
    const auto length = reader.integer(4);
    if (!length || *length == 0 || *length > kMaxPathLength) return std::nullopt;
    auto path = reader.text(static_cast<std::size_t>(*length));
    if (!path || reader.remaining() != 0) return std::nullopt;
    if (path->front() != '/' || path->find('\0') != std::string::npos) return std::nullopt;
    reference.path = std::move(*path);
    return reference;
}

// The name in the folder whose entry is the file `file`, if any.
std::optional<std::string> findInFolder(const std::string& folder, const FileIdentity& file) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || static_cast<std::uint64_t>(entry->d_ino) != file.inode) continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && file.matches(info)) {
            found = std::string(name);
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// The file itself at its path; else the same file under another name in the
// same folder; else whatever now stands at the path (a file replaced by a save
// that writes a new file and renames it over the old one).
std::optional<std::string> resolve(const FileReference& reference) {
    struct stat info {};
    const bool pathExists = ::stat(reference.path.c_str(), &info) == 0;
    if (pathExists && reference.file.matches(info)) return reference.path;

    // Only search the folder when it is still the one the file was in: a
    // different volume mounted at the same place may reuse the inode number.
    const std::string folder = folderOfPath(reference.path);
    struct stat folderInfo {};
    if (::stat(folder.c_str(), &folderInfo) == 0 && reference.folder.matches(folderInfo)) {
        if (const auto name = findInFolder(folder, reference.file)) {
            return path::stringByAppendingPathComponent(folder, *name);
        }
    }
    if (pathExists) return reference.path;
    return std::nullopt;
}

std::string unresolved(int code) {
    Log::line(fmt::format("QVXAliasDataHelper: Could not resolve alias date. Error = {}", code));
    return {};
}

} // namespace

PlistData QVXAliasDataHelper::aliasDataFromFilePath(const std::string& path) {
    const auto reference = posixStringToFSRef(path);
    return reference ? encode(*reference) : PlistData();
}

std::string QVXAliasDataHelper::filePathFromAliasData(const PlistData& data) {
    const auto reference = decode(data);
    if (!reference) return unresolved(kParamErr);
    const auto path = resolve(*reference);
    return path ? *path : unresolved(kFileNotFoundErr);
}

} // namespace pellora
