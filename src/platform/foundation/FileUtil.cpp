#include "platform/foundation/FileUtil.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/ReadOnlyFile.h"

namespace pellora {

std::string folderOfPath(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool writeAllBytes(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

RegularFileRead readRegularFile(const std::string& path, std::size_t maxBytes) {
    RegularFileRead result;
    const auto refuse = [&](std::string problem) {
        result.contents.clear();
        result.problem = std::move(problem);
        return result;
    };
    ReadOnlyFile file(path);
    switch (file.state()) {
    case ReadOnlyFile::State::Open: break;
    case ReadOnlyFile::State::Missing:
        result.status = RegularFileRead::Status::Missing;
        return refuse(std::strerror(file.error()));
    case ReadOnlyFile::State::Failed: return refuse(std::strerror(file.error()));
    case ReadOnlyFile::State::NotRegular: return refuse("not a regular file");
    }
    const std::string tooLarge = fmt::format("larger than {} bytes", maxBytes);
    if (file.size() > maxBytes) return refuse(tooLarge);
    std::uint8_t buffer[65536];
    for (;;) {
        const auto got = file.readAt(result.contents.size(), buffer);
        if (!got) return refuse(std::strerror(file.error()));
        if (*got == 0) break;
        // The file may have grown since it was measured.
        if (result.contents.size() + *got > maxBytes) return refuse(tooLarge);
        result.contents.append(reinterpret_cast<const char*>(buffer), *got);
    }
    result.status = RegularFileRead::Status::Read;
    return result;
}

bool readWholeFile(const std::string& path, std::string& contents, std::size_t maxBytes) {
    RegularFileRead read = readRegularFile(path, maxBytes);
    if (read.status != RegularFileRead::Status::Read) {
        Log::line(fmt::format("Cannot read {}: {}", path, read.problem));
        return false;
    }
    contents = std::move(read.contents);
    return true;
}

std::string hiddenSiblingTemplate(const std::string& finalPath) {
    std::string name = path::lastPathComponent(finalPath);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    // "." + name + ".XXXXXX" within NAME_MAX bytes, cut between characters
    // rather than inside a UTF-8 sequence.
    constexpr std::size_t kAdded = 1 + 7;
    if (name.size() > NAME_MAX - kAdded) {
        std::size_t cut = NAME_MAX - kAdded;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return path::stringByAppendingPathComponent(folderOfPath(finalPath), "." + name + ".XXXXXX");
}

std::string createTemporarySibling(const std::string& finalPath, int& fd) {
    std::string pattern = hiddenSiblingTemplate(finalPath);
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        Log::line(fmt::format("Cannot create a temporary file for {}: {}", finalPath, std::strerror(errno)));
        return {};
    }
    return pattern;
}

bool commitTemporaryFile(const std::string& temporaryPath, const std::string& finalPath) {
    const int fd = ::open(temporaryPath.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!synced || ::rename(temporaryPath.c_str(), finalPath.c_str()) != 0) {
        Log::line(fmt::format("Cannot write {}: {}", finalPath, std::strerror(errno)));
        ::unlink(temporaryPath.c_str());
        return false;
    }
    syncFolder(folderOfPath(finalPath));
    return true;
}

std::string writeTemporarySibling(const std::string& finalPath, std::string_view bytes, mode_t mode) {
    int fd = -1;
    const std::string temporary = createTemporarySibling(finalPath, fd);
    if (temporary.empty()) return {};
    // Flushed here, on the writer's thread, so that committing it later is quick.
    const bool written = ::fchmod(fd, mode) == 0 && writeAllBytes(fd, bytes) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    if (::close(fd) != 0 || !written) {
        Log::line(fmt::format("Cannot write {}: {}", finalPath, std::strerror(written ? errno : savedErrno)));
        ::unlink(temporary.c_str());
        return {};
    }
    return temporary;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, mode_t mode) {
    const std::string temporary = writeTemporarySibling(path, bytes, mode);
    return !temporary.empty() && commitTemporaryFile(temporary, path);
}

bool createDirectories(const std::string& path) {
    std::string partial;
    for (const std::string& component : path::pathComponents(path)) {
        partial = path::stringByAppendingPathComponent(partial, component);
        if (partial.empty()) partial = component;
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace pellora
