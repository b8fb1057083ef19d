#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/PlistValue.h"

namespace pellora {

// Named notifications with synchronous delivery on the posting thread.
// Observers may come and go on any thread: once removeObserver returns, the
// observer's callback is not running and will not be called again (unless the
// callback itself is removing its own observer, which is allowed).
class NotificationCenter {
public:
    using Callback = std::function<void(const std::string& name, const PlistValue& userInfo)>;
    using Token = std::uint64_t;

    static NotificationCenter& defaultCenter();

    Token addObserver(std::string name, Callback callback);
    void removeObserver(Token token);
    void post(const std::string& name, const PlistValue& userInfo = {});

private:
    struct Observer {
        Token token;
        std::string name;
        Callback callback;
        std::recursive_mutex callMutex;
        bool active = true;
    };

    std::mutex _mutex;
    std::vector<std::shared_ptr<Observer>> _observers;
    Token _nextToken = 1;
};

} // namespace pellora
