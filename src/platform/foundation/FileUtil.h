#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace pellora {

// What reading a regular file whole gave, without logging. The file is opened
// without blocking, so a FIFO or a device at the path is refused at once
// rather than waited on.
struct RegularFileRead {
    enum class Status { Read, Missing, Unreadable };
    Status status = Status::Unreadable;
    std::string contents;  // when Read
    std::string problem;   // when not Read: "Permission denied", "not a regular file", ...
};
RegularFileRead readRegularFile(const std::string& path, std::size_t maxBytes);

// Reads a regular file whole. false (after one log line) when it cannot be
// opened or read, is not a regular file, or is larger than maxBytes.
bool readWholeFile(const std::string& path, std::string& contents, std::size_t maxBytes);

// The folder part of a path: "." for a bare name, "/" for a name at the root.
std::string folderOfPath(const std::string& path);
// Writes every byte to the descriptor, going on after interruptions; false
// with errno set on failure.
bool writeAllBytes(int fd, std::string_view bytes);
// Flushes a folder's entries to disk (after a file was named in it).
void syncFolder(const std::string& folder);

// The pattern of a hidden temporary name beside finalPath, for mkostemp: "." +
// its name less the extension + ".XXXXXX", the name shortened so that the
// whole fits the file system's name limit however long the final name is.
// Never ending in the final name's extension, so nothing takes it for an output.
std::string hiddenSiblingTemplate(const std::string& finalPath);

// A hidden temporary file next to `finalPath` (named by hiddenSiblingTemplate),
// opened for writing. Returns its path, or an empty
// string (after one log line) when it cannot be made. The descriptor is stored in fd.
std::string createTemporarySibling(const std::string& finalPath, int& fd);

// Writes bytes into a new temporary sibling of finalPath with the given mode
// and flushes them to disk. Returns its path, or an empty string (after one log
// line, the temporary file removed) on failure.
std::string writeTemporarySibling(const std::string& finalPath, std::string_view bytes, mode_t mode = 0644);

// Flushes the temporary file to disk, renames it over finalPath and flushes
// the folder, so readers see the old file or the new one, never a partial one.
// Removes the temporary file when anything fails.
bool commitTemporaryFile(const std::string& temporaryPath, const std::string& finalPath);

// Writes bytes to path atomically with commitTemporaryFile; mode applies to the new file.
bool writeFileAtomically(const std::string& path, std::string_view bytes, mode_t mode = 0644);

// Creates a folder and its missing parents (mode 0755). true when it exists afterwards.
bool createDirectories(const std::string& path);

} // namespace pellora
