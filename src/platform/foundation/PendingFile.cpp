#include "platform/foundation/PendingFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"

namespace pellora {
namespace {

// Tries for a free random hidden name before giving up.
constexpr int kNameAttempts = 100;

// The errors with which a file system (or an older kernel) refuses unnamed files.
bool refusesUnnamedFiles(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

// The hidden template with its X's replaced by random letters and digits.
std::string randomHiddenSibling(const std::string& finalPath) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::string path = hiddenSiblingTemplate(finalPath);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (std::size_t at = path.size() - 6; at < path.size(); ++at) path[at] = kLetters[pick(random)];
    return path;
}

// The path through which an open file can be given a name.
std::string descriptorPath(int fd) { return fmt::format("/proc/self/fd/{}", fd); }

// Unnamed files can be named only through /proc, which a sandbox may lack.
bool canNameUnnamedFiles() {
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

} // namespace

PendingFile PendingFile::failed(std::string finalPath, int error) {
    PendingFile file;
    file._finalPath = std::move(finalPath);
    file._error = error;
    return file;
}

PendingFile PendingFile::create(const std::string& finalPath) {
    if (!canNameUnnamedFiles()) return createNamed(finalPath);
    const int fd = ::open(folderOfPath(finalPath).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) return PendingFile(finalPath, {}, fd);
    if (refusesUnnamedFiles(errno)) return createNamed(finalPath);
    const int error = errno;
    Log::line(fmt::format("Cannot create a temporary file for {}: {}", finalPath, std::strerror(error)));
    return failed(finalPath, error);
}

PendingFile PendingFile::createNamed(const std::string& finalPath) {
    int fd = -1;
    std::string named = createTemporarySibling(finalPath, fd);
    if (named.empty()) return failed(finalPath, errno);
    return PendingFile(finalPath, std::move(named), fd);
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : _finalPath(std::move(other._finalPath)), _namedPath(std::move(other._namedPath)), _fd(other._fd),
      _error(other._error) {
    other._fd = -1;
    other._namedPath.clear();
}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
    if (this != &other) {
        discard();
        _finalPath = std::move(other._finalPath);
        _namedPath = std::move(other._namedPath);
        _fd = other._fd;
        _error = other._error;
        other._fd = -1;
        other._namedPath.clear();
    }
    return *this;
}

bool PendingFile::writeAll(std::string_view bytes, unsigned mode) {
    if (::fchmod(_fd, static_cast<mode_t>(mode)) == 0 && writeAllBytes(_fd, bytes)) {
        // The disk write starts now without waiting for it: the writer goes on
        // to its next file while it runs, and the fsync at the commit, which
        // the file's name waits for, finds little or nothing left to do.
        ::sync_file_range(_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        return true;
    }
    _error = errno;
    Log::line(fmt::format("Cannot write {}: {}", _finalPath, std::strerror(_error)));
    discard();
    return false;
}

PendingFile::Commit PendingFile::commit(bool replace) {
    if (!isOpen()) return Commit::Failed;  // the failure that closed it was logged then
    if (::fsync(_fd) != 0) {
        const Commit failure = fail("fsync");
        discard();
        return failure;
    }
    const Commit result = isUnnamed() ? commitUnnamed(replace) : commitNamed(replace);
    if (result == Commit::Done) {
        syncFolder(folderOfPath(_finalPath));
        ::close(_fd);
        _fd = -1;
        _namedPath.clear();
    } else {
        discard();
    }
    return result;
}

PendingFile::Commit PendingFile::commitUnnamed(bool replace) {
    const std::string source = descriptorPath(_fd);
    if (!replace) {
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, _finalPath.c_str(), AT_SYMLINK_FOLLOW) == 0) return Commit::Done;
        return errno == EEXIST ? Commit::NameTaken : fail("linkat");
    }
    // A link cannot replace a file: the file is named under a hidden name
    // first, then renamed over the old one in one step.
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string hidden = randomHiddenSibling(_finalPath);
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, hidden.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST) continue;
            return fail("linkat");
        }
        if (::rename(hidden.c_str(), _finalPath.c_str()) == 0) return Commit::Done;
        const Commit failure = fail("rename");
        ::unlink(hidden.c_str());
        return failure;
    }
    errno = EEXIST;
    return fail("linkat");
}

PendingFile::Commit PendingFile::commitNamed(bool replace) {
    if (replace) return ::rename(_namedPath.c_str(), _finalPath.c_str()) == 0 ? Commit::Done : fail("rename");
    if (::renameat2(AT_FDCWD, _namedPath.c_str(), AT_FDCWD, _finalPath.c_str(), RENAME_NOREPLACE) == 0) {
        return Commit::Done;
    }
    if (errno == EEXIST) return Commit::NameTaken;
    if (errno != EINVAL && errno != ENOSYS) return fail("renameat2");
    // A file system without the no-replace rename: a hard link also refuses a
    // taken name; the hidden name then goes.
    if (::link(_namedPath.c_str(), _finalPath.c_str()) != 0) return errno == EEXIST ? Commit::NameTaken : fail("link");
    ::unlink(_namedPath.c_str());
    return Commit::Done;
}

PendingFile::Commit PendingFile::fail(const char* what) {
    _error = errno;
    Log::line(fmt::format("Cannot write {}: {} ({})", _finalPath, std::strerror(_error), what));
    return Commit::Failed;
}

void PendingFile::discard() {
    if (!_namedPath.empty()) ::unlink(_namedPath.c_str());
    _namedPath.clear();
    if (_fd >= 0) ::close(_fd);
    _fd = -1;
}

} // namespace pellora
