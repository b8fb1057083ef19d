#include "util/QVXLoginItemHelper.h"

#include <cerrno>
#include <fmt/format.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PlistXml.h"
#include "util/AutostartEntry.h"
#include "util/QVXAliasDataHelper.h"
#include "util/QVXArrayExtentions.h"

namespace pellora {
namespace {

constexpr const char* kLoginWindowDomain = "loginwindow";
constexpr const char* kAutoLaunchedApplicationsKey = "AutoLaunchedApplicationDictionary";
constexpr const char* kAliasDataKey = "AliasData";
constexpr const char* kHideKey = "Hide";
constexpr const char* kPathKey = "Path";

// Serialises the read-change-write of the domain file within this process, so
// that two threads changing the list at once do not lose one of the changes.
std::mutex& domainMutex() {
    static std::mutex mutex;
    return mutex;
}

// The domain; an absent file reads as an empty domain. nullopt when the file
// exists but cannot be read as a dictionary: it is then left as it is rather
// than replaced by a list that has lost its items.
std::optional<PlistDictionary> readDomain() {
    const std::string file = QVXLoginItemHelper::domainFilePath();
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 && errno == ENOENT) return PlistDictionary();
    const PlistValue root = readPlistFile(file);
    if (root.isDictionary()) return root.dictionaryValue();
    if (!root.isNull()) {
        Log::line(fmt::format("QVXLoginItemHelper: {} does not hold a dictionary; left unchanged", file));
    }
    return std::nullopt;
}

bool writeDomain(PlistDictionary domain, PlistArray entries) {
    domain.set(kAutoLaunchedApplicationsKey, std::move(entries));
    const std::string file = QVXLoginItemHelper::domainFilePath();
    const std::string folder = path::stringByAppendingPathComponent(path::configHome(), "pellora");
    if (!createDirectories(folder)) {
        Log::line(fmt::format("QVXLoginItemHelper: Cannot create {}", folder));
        return false;
    }
    return writeFileAtomically(file, writePlistXml(std::move(domain)));
}

PlistArray entriesOf(const PlistDictionary& domain) { return domain.get(kAutoLaunchedApplicationsKey).arrayValue(); }

// An entry without a string "Path" matches no name.
bool entryHasName(const PlistValue& entry, const std::string& name) {
    const PlistValue& entryPath = entry.dictionaryValue().get(kPathKey);
    return entryPath.isString() && path::lastPathComponent(entryPath.stringValue()) == name;
}

} // namespace

std::string QVXLoginItemHelper::domainFilePath() {
    return path::stringByAppendingPathComponent(path::configHome(),
                                                fmt::format("pellora/{}.plist", kLoginWindowDomain));
}

void QVXLoginItemHelper::addToLoginItems(const std::string& path, bool hide) {
    std::lock_guard lock(domainMutex());
    const auto domain = readDomain();
    if (!domain) return;
    PlistArray entries = entriesOf(*domain);
    entries.emplace_back(PlistDictionary{
        {kAliasDataKey, QVXAliasDataHelper::aliasDataFromFilePath(path)},
        {kHideKey, hide},
        {kPathKey, path},
    });
    if (writeDomain(*domain, std::move(entries))) autostart::writeEntry(path, hide);
}

void QVXLoginItemHelper::removeFromLoginItems(const std::string& path) {
    std::lock_guard lock(domainMutex());
    const auto domain = readDomain();
    if (!domain) return;
    PlistArray entries = entriesOf(*domain);
    const std::string name = path::lastPathComponent(path);
    IndexSet matches;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        if (entryHasName(entries[index], name)) matches.addIndex(index);
    }
    removeObjectsAtIndexes(entries, matches);
    if (writeDomain(*domain, std::move(entries))) autostart::removeEntry(name);
}

bool QVXLoginItemHelper::isInLoginItems(const std::string& path) {
    std::lock_guard lock(domainMutex());
    const auto domain = readDomain();
    if (!domain) return false;
    const std::string name = path::lastPathComponent(path);
    for (const PlistValue& entry : entriesOf(*domain)) {
        if (entryHasName(entry, name)) return true;
    }
    return false;
}

} // namespace pellora
