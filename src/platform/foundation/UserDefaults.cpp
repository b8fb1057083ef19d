#include "platform/foundation/UserDefaults.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fmt/format.h>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PlistXml.h"

namespace pellora {
namespace {

constexpr std::size_t kMaxSettingsBytes = 16u << 20;

std::string timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm fields{};
    localtime_r(&now, &fields);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y%m%d-%H%M%S", &fields);
    return buffer;
}

} // namespace

std::string UserDefaults::standardFilePath() {
    return path::stringByAppendingPathComponent(path::configHome(), "pellora/Pellora.plist");
}

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults(standardFilePath());
    return defaults;
}

UserDefaults::UserDefaults(std::string filePath, std::chrono::milliseconds writeDelay)
    : _filePath(std::move(filePath)), _writeDelay(writeDelay) {
    load();
    _writer = std::thread([this] { writerLoop(); });
}

UserDefaults::~UserDefaults() {
    {
        std::lock_guard lock(_writerMutex);
        _stopping = true;
    }
    _writerWake.notify_all();
    _writer.join();
    synchronize();
}

void UserDefaults::load() {
    const RegularFileRead read = readRegularFile(_filePath, kMaxSettingsBytes);
    if (read.status == RegularFileRead::Status::Missing) return;  // first launch: nothing stored yet
    if (read.status == RegularFileRead::Status::Unreadable) {
        // Perhaps valid settings this process may not read: never replace them.
        _leavesFileAlone = true;
        Log::line(fmt::format("Settings file {} cannot be read ({}); left as it is, using the defaults and "
                              "saving no changes in this run",
                              _filePath, read.problem));
        return;
    }

    std::string reason;
    PlistValue stored = readPlistXml(read.contents, _filePath, {}, &reason);
    if (!stored.isNull() && !stored.isDictionary()) reason = "the top level is not a dictionary";
    if (stored.isDictionary()) {
        _user = stored.dictionaryValue();
        return;
    }
    // Never overwrite a file the user may want back: keep it aside and start afresh.
    const std::string aside = _filePath + ".corrupt-" + timestamp();
    if (std::rename(_filePath.c_str(), aside.c_str()) == 0) {
        Log::line(fmt::format("Settings file {} is unreadable ({}); moved it to {} and using the defaults",
                              _filePath, reason, aside));
    } else {
        Log::line(fmt::format("Settings file {} is unreadable ({}) and cannot be moved aside: {}", _filePath,
                              reason, std::strerror(errno)));
    }
}

void UserDefaults::registerDefaults(const PlistDictionary& defaults) {
    std::unique_lock lock(_valuesMutex);
    for (const auto& [key, value] : defaults) _registered.set(key, value);
}

void UserDefaults::setArgumentDomain(const PlistDictionary& values) {
    std::unique_lock lock(_valuesMutex);
    _arguments = values;
}

PlistValue UserDefaults::objectForKey(std::string_view key) const {
    std::shared_lock lock(_valuesMutex);
    if (const PlistValue* value = _arguments.find(key)) return *value;
    if (const PlistValue* value = _user.find(key)) return *value;
    if (const PlistValue* value = _registered.find(key)) return *value;
    return {};
}

void UserDefaults::setObject(const PlistValue& value, const std::string& key) {
    PlistValue effective;
    {
        std::unique_lock lock(_valuesMutex);
        if (value.isNull()) {
            _user.remove(key);
        } else {
            _user.set(key, value);
        }
        if (const PlistValue* argument = _arguments.find(key)) {
            effective = *argument;
        } else {
            effective = value.isNull() ? _registered.get(key) : value;
        }
    }
    if (!_leavesFileAlone) {
        {
            std::lock_guard lock(_writerMutex);
            _dirty = true;
        }
        _writerWake.notify_all();
    }

    std::vector<Observer> toCall;
    {
        std::lock_guard lock(_observersMutex);
        for (const auto& entry : _observers) {
            if (entry.key == key) toCall.push_back(entry.observer);
        }
    }
    for (const auto& observer : toCall) observer(key, effective);
}

bool UserDefaults::synchronize() {
    if (_leavesFileAlone) return false;
    {
        std::lock_guard lock(_writerMutex);
        if (!_dirty) return true;
        _dirty = false;
    }
    if (writeSnapshot()) return true;
    std::lock_guard lock(_writerMutex);
    _dirty = true;  // try again with the next change or at exit
    return false;
}

bool UserDefaults::writeSnapshot() {
    std::lock_guard writeLock(_writeMutex);
    PlistDictionary snapshot;
    {
        std::shared_lock lock(_valuesMutex);
        snapshot = _user;
    }
    const std::string folder = _filePath.substr(0, _filePath.rfind('/'));
    if (!folder.empty() && !createDirectories(folder)) {
        Log::line(fmt::format("Cannot create the settings folder {}", folder));
        return false;
    }
    return writeFileAtomically(_filePath, writePlistXml(PlistValue(std::move(snapshot))), 0600);
}

void UserDefaults::writerLoop() {
    std::unique_lock lock(_writerMutex);
    for (;;) {
        _writerWake.wait(lock, [&] { return _dirty || _stopping; });
        if (_stopping) return;
        // Gather the changes of the next moment into one write.
        _writerWake.wait_for(lock, _writeDelay, [&] { return _stopping; });
        if (_stopping) return;
        lock.unlock();
        synchronize();
        lock.lock();
    }
}

UserDefaults::ObserverToken UserDefaults::addObserver(const std::string& key, Observer observer) {
    std::lock_guard lock(_observersMutex);
    const ObserverToken token = _nextToken++;
    _observers.push_back({token, key, std::move(observer)});
    return token;
}

void UserDefaults::removeObserver(ObserverToken token) {
    std::lock_guard lock(_observersMutex);
    std::erase_if(_observers, [token](const KeyObserver& entry) { return entry.token == token; });
}

UserDefaultsController& UserDefaultsController::sharedUserDefaultsController() {
    static UserDefaultsController controller;
    return controller;
}

void UserDefaultsController::setInitialValues(const PlistDictionary& values) {
    std::lock_guard lock(_mutex);
    _initialValues = values;
}

PlistDictionary UserDefaultsController::initialValues() const {
    std::lock_guard lock(_mutex);
    return _initialValues;
}

} // namespace pellora
