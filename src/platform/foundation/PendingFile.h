#pragma once

#include <string>
#include <string_view>

namespace pellora {

// A new file for finalPath, written in full before it takes that name, so the
// name holds a whole file or nothing. Where the folder's file system allows
// it, the file has no name at all until it is committed (O_TMPFILE): a process
// killed before then leaves nothing behind. Elsewhere it is a hidden file
// beside finalPath. Destroying an uncommitted file discards it.
//
// Failures log one line and keep the errno value that ended them (error());
// 0 there means the file was never made for a reason of the caller's own.
class PendingFile {
public:
    // Opens the file in finalPath's folder: unnamed where the file system
    // allows it, else a hidden named file. Not open() on failure.
    static PendingFile create(const std::string& finalPath);
    // Always the hidden named file, as where unnamed files are refused.
    static PendingFile createNamed(const std::string& finalPath);

    PendingFile() = default;
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;
    ~PendingFile() { discard(); }

    bool isOpen() const { return _fd >= 0; }
    // True while the file has no name in the folder.
    bool isUnnamed() const { return isOpen() && _namedPath.empty(); }
    const std::string& finalPath() const { return _finalPath; }
    int error() const { return _error; }

    // Writes bytes with the given mode and starts writing them to disk; on
    // failure the file is discarded and false returned.
    bool writeAll(std::string_view bytes, unsigned mode = 0644);

    enum class Commit {
        Done,       // finalPath now names the file
        NameTaken,  // without replacing: something had the name; the file is discarded
        Failed,     // after a log line, error() set; the file is discarded
    };
    // Flushes the file to disk, then gives it its final name. Without replace, taking the name fails
    // when anything has it, checked and named in one step, so two writers
    // never both succeed. With replace, an existing file is replaced whole.
    Commit commit(bool replace);
    // Removes the file if it has not been committed.
    void discard();

private:
    PendingFile(std::string finalPath, std::string namedPath, int fd)
        : _finalPath(std::move(finalPath)), _namedPath(std::move(namedPath)), _fd(fd) {}
    static PendingFile failed(std::string finalPath, int error);

    Commit commitUnnamed(bool replace);
    Commit commitNamed(bool replace);
    Commit fail(const char* what);

    std::string _finalPath;
    std::string _namedPath;  // empty for an unnamed file
    int _fd = -1;
    int _error = 0;
};

} // namespace pellora
