#pragma once

#include <string>

namespace pellora {

// Shows a folder in the desktop's file manager: the end of an export offers
// the destination this way. Kept apart from the URL opener, which opens web
// addresses only.
class FolderOpener {
public:
    virtual ~FolderOpener() = default;
    // Called with a folder's file: URL (fileURLForFolder); false when nothing could be opened.
    virtual bool openFolderURL(const std::string& url) = 0;
};

// The absolute file: URL of a folder, every byte of the path other than
// unreserved characters and '/' percent-encoded, so that any name (spaces,
// bytes that are not UTF-8) comes through exactly. A relative path is taken
// from the current folder, as the export takes it; "." and ".." are resolved
// by name.
std::string fileURLForFolder(const std::string& folder);

} // namespace pellora
