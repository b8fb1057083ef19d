#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pellora {

// The freedesktop recent-files list, $XDG_DATA_HOME/recently-used.xbel, shared
// by every application of the session and read by GLib's strict parser. Only
// the entries carrying this application's name are ever changed; every other
// entry, title, group and application record is written back as read. A file
// that does not parse is never rewritten. Writes are whole-file and atomic
// (temporary file, rename), mode 0600.
class RecentlyUsedXbel {
public:
    // The application recorded in each entry: name="Pellora", exec="'pellora %u'".
    RecentlyUsedXbel(std::string filePath, std::string applicationName, std::string exec);

    // $XDG_DATA_HOME/recently-used.xbel.
    static std::string defaultFilePath();

    // Notes the files (full paths as bytes) as used now, in order, the last
    // being the newest, and keeps at most maxEntries of this application's
    // entries (the newest). false (after one log line) when the file cannot be
    // read, does not parse or cannot be written; it is then left as it was.
    bool addFiles(const std::vector<std::string>& filePaths, std::size_t maxEntries);

    // The paths of this application's entries, newest first, at most limit.
    // Entries that are not local file URIs are skipped. Empty when the file is
    // missing or does not parse.
    std::vector<std::string> recentFilePaths(std::size_t limit) const;

    // Removes this application's record from every entry, and each entry no
    // other application holds. false (after one log line) on failure.
    bool clear();

    // The absolute "file://" URI of a path, percent-encoding every byte other
    // than unreserved characters and '/'; and back (empty when not a local file URI).
    static std::string fileURIForPath(const std::string& path);
    static std::string pathForFileURI(const std::string& uri);

private:
    std::string _filePath;
    std::string _applicationName;
    std::string _exec;
};

} // namespace pellora
