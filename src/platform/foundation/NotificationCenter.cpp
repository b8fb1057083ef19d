#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

namespace pellora {

NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter;  // outlives every static observer
    return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, Callback callback) {
    auto observer = std::make_shared<Observer>();
    observer->name = std::move(name);
    observer->callback = std::move(callback);
    std::lock_guard lock(_mutex);
    observer->token = _nextToken++;
    _observers.push_back(observer);
    return observer->token;
}

void NotificationCenter::removeObserver(Token token) {
    std::shared_ptr<Observer> removed;
    {
        std::lock_guard lock(_mutex);
        const auto it = std::find_if(_observers.begin(), _observers.end(),
                                     [token](const auto& observer) { return observer->token == token; });
        if (it == _observers.end()) return;
        removed = *it;
        _observers.erase(it);
    }
    // Waits for a delivery in progress on another thread to finish.
    std::lock_guard callLock(removed->callMutex);
    removed->active = false;
}

void NotificationCenter::post(const std::string& name, const PlistValue& userInfo) {
    std::vector<std::shared_ptr<Observer>> targets;
    {
        std::lock_guard lock(_mutex);
        for (const auto& observer : _observers) {
            if (observer->name == name) targets.push_back(observer);
        }
    }
    for (const auto& observer : targets) {
        std::lock_guard callLock(observer->callMutex);
        if (observer->active) observer->callback(name, userInfo);
    }
}

} // namespace pellora
