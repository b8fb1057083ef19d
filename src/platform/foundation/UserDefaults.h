#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/foundation/PlistValue.h"

namespace pellora {

// The settings store: a registered layer in memory for this run, and the
// user's layer persisted as an XML property list. Reads see a change at once;
// the file is rewritten whole and atomically about 200 ms after the first
// unsaved change (off the calling thread) and at destruction. Safe from any
// thread. Another process sees what was stored when it starts.
class UserDefaults {
public:
    using Observer = std::function<void(const std::string& key, const PlistValue& value)>;
    using ObserverToken = std::uint64_t;

    // The store of this user at $XDG_CONFIG_HOME/pellora/Pellora.plist.
    static UserDefaults& standard();
    static std::string standardFilePath();

    // A store persisted at filePath, loaded now. A regular file that reads but
    // does not parse is moved aside (".corrupt-<timestamp>"), one line is
    // logged, and the store starts empty. Anything else that cannot be read
    // there (no permission, a folder, a FIFO, a file too large) is left as it
    // is: one line is logged, the store starts empty, and this store writes
    // nothing to the path; its changes last for this process only.
    explicit UserDefaults(std::string filePath,
                          std::chrono::milliseconds writeDelay = std::chrono::milliseconds(200));
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // Adds entries to the registered layer, replacing entries with the same keys.
    void registerDefaults(const PlistDictionary& defaults);

    // Values that answer before the user's for this process only: never
    // written to the file, never seen by another process, no observer told.
    // Replaces the previous argument values. The terminal front end puts the
    // settings its options override here, so a run changes nothing stored.
    void setArgumentDomain(const PlistDictionary& values);

    // The argument value, else the user's, else the registered one, else null.
    PlistValue objectForKey(std::string_view key) const;
    bool boolForKey(std::string_view key) const { return objectForKey(key).boolValue(); }
    int integerForKey(std::string_view key) const { return objectForKey(key).intValue(); }
    float floatForKey(std::string_view key) const { return objectForKey(key).floatValue(); }
    std::string stringForKey(std::string_view key) const { return objectForKey(key).stringValue(); }

    // Stores a user value (a null value removes it) and tells the key's observers.
    void setObject(const PlistValue& value, const std::string& key);
    void removeObjectForKey(const std::string& key) { setObject(PlistValue(), key); }

    // Writes unsaved changes now. false when the write failed or the file is left alone.
    bool synchronize();

    // Calls observer on the changing thread after each change of key.
    ObserverToken addObserver(const std::string& key, Observer observer);
    void removeObserver(ObserverToken token);

    const std::string& filePath() const { return _filePath; }

private:
    void load();
    void writerLoop();
    bool writeSnapshot();

    struct KeyObserver {
        ObserverToken token;
        std::string key;
        Observer observer;
    };

    const std::string _filePath;
    const std::chrono::milliseconds _writeDelay;
    // Set by load, before the writer starts: the file at the path could not be read.
    bool _leavesFileAlone = false;

    mutable std::shared_mutex _valuesMutex;
    PlistDictionary _arguments;
    PlistDictionary _registered;
    PlistDictionary _user;

    std::mutex _observersMutex;
    std::vector<KeyObserver> _observers;
    ObserverToken _nextToken = 1;

    // Background writer: dirty marks unsaved changes; writeMutex keeps two writes apart.
    std::mutex _writerMutex;
    std::condition_variable _writerWake;
    bool _dirty = false;
    bool _stopping = false;
    std::mutex _writeMutex;
    std::thread _writer;
};

// The one shared controller through which bindings and code reach the store.
class UserDefaultsController {
public:
    static UserDefaultsController& sharedUserDefaultsController();

    UserDefaults& defaults() const { return UserDefaults::standard(); }
    void setInitialValues(const PlistDictionary& values);
    PlistDictionary initialValues() const;
    void setAppliesImmediately(bool applies) { _appliesImmediately = applies; }
    bool appliesImmediately() const { return _appliesImmediately; }

private:
    mutable std::mutex _mutex;
    PlistDictionary _initialValues;
    std::atomic<bool> _appliesImmediately{true};
};

} // namespace pellora
