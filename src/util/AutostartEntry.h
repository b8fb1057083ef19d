#pragma once

#include <optional>
#include <string>

// Desktop entries in $XDG_CONFIG_HOME/autostart, through which the desktop
// starts the login items when the user logs in. One entry per item name (the
// last path component), as login items are matched by that name.
namespace pellora::autostart {

// The entry's file for an item name: "pellora-login-<name>.desktop", with every
// byte other than ASCII letters, digits, '.' and '-' written as "_XX" (hexadecimal),
// so that different names never share a file.
std::string entryFilePath(const std::string& name);

// The desktop entry that starts the program at path. The hide flag asks for
// the program to be hidden once started, which desktop entries cannot express:
// it is kept in X-Pellora-Hide (Hidden=true would mean "do not start at all").
// nullopt when the path cannot be written in an Exec line that launchers run:
// not UTF-8, a control character other than tab or line break, '=' or '%'.
std::optional<std::string> entryText(const std::string& path, bool hide);

// Writes the entry for the item at path, replacing one of the same name.
// false (after one log line) when it cannot be written.
bool writeEntry(const std::string& path, bool hide);

// Removes the entry of the item name, if there is one.
void removeEntry(const std::string& name);

} // namespace pellora::autostart
