#pragma once

#include <string>

namespace pellora {

// Shows a web address in the user's browser.
class URLOpener {
public:
    virtual ~URLOpener() = default;
    // Called only with absolute http and https URLs; false when nothing could be opened.
    virtual bool openURL(const std::string& url) = 0;
};

} // namespace pellora
