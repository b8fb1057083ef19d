#pragma once

#include "platform/foundation/MainThread.h"
#include "update/URLOpener.h"

namespace pellora {

// Opens web addresses in the desktop's browser, on the main thread. It opens
// nothing but absolute http and https URLs with a host: the desktop would hand
// a file: URL to whatever program is registered for the file, launchers included.
class QtURLOpener final : public URLOpener {
public:
    explicit QtURLOpener(MainThreadDispatcher& mainThread) : _mainThread(mainThread) {}

    bool openURL(const std::string& url) override;

private:
    MainThreadDispatcher& _mainThread;
};

} // namespace pellora
