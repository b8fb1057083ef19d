#pragma once

#include "jobs/FolderOpener.h"

namespace pellora {

// Opens a folder in the desktop's file manager, on the main thread. It opens
// nothing but local file: URLs that name an existing folder: a file: URL of a
// file would be handed to whatever program is registered for it, launchers
// included.
class QtFolderOpener final : public FolderOpener {
public:
    bool openFolderURL(const std::string& url) override;
};

} // namespace pellora
