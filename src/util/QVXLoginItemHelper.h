#pragma once

#include <string>

namespace pellora {

// The items started when the user logs in. The list is the "loginwindow"
// domain, kept as an XML property list of its own in Pellora's configuration
// folder: under "AutoLaunchedApplicationDictionary", one dictionary per item
// with "AliasData" (data), "Hide" (boolean) and "Path" (string), in order. Each
// change is mirrored into the XDG autostart folder, so the desktop starts the
// items at login. Items are matched by the last component of their path, exactly
// and case-sensitively; the folders above it do not count.
class QVXLoginItemHelper {
public:
    // Appends an item, even when one with the same name is already listed.
    static void addToLoginItems(const std::string& path, bool hide);

    // Removes every item with the same last path component.
    static void removeFromLoginItems(const std::string& path);

    // True when an item has the same last path component.
    static bool isInLoginItems(const std::string& path);

    // $XDG_CONFIG_HOME/pellora/loginwindow.plist.
    static std::string domainFilePath();
};

} // namespace pellora
