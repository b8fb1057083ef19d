#include "ui/QtFolderOpener.h"

#include <QDesktopServices>
#include <QUrl>
#include <sys/stat.h>

#include "platform/foundation/Log.h"
#include "platform/foundation/RecentlyUsedXbel.h"

namespace pellora {

bool QtFolderOpener::openFolderURL(const std::string& url) {
    const std::string path = RecentlyUsedXbel::pathForFileURI(url);
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        Log::line("QtFolderOpener: not a folder: " + url);
        return false;
    }
    if (!QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode))) {
        Log::line("QtFolderOpener: the file manager could not open " + url);
        return false;
    }
    return true;
}

} // namespace pellora
