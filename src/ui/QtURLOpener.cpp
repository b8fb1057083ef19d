#include "ui/QtURLOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace pellora {

bool QtURLOpener::openURL(const std::string& url) {
    const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
    const QString scheme = address.scheme();
    if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        address.host().isEmpty()) {
        return false;
    }
    bool opened = false;
    _mainThread.postAndWait([&address, &opened] { opened = QDesktopServices::openUrl(address); });
    return opened;
}

} // namespace pellora
