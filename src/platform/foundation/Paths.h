#pragma once

#include <string>
#include <vector>

// Path strings with the platform's semantics, on bytes: a file name that is not
// valid UTF-8 passes through unchanged.
namespace pellora::path {

// "/tmp/a.jpg" -> "a.jpg"; "/tmp/dir/" -> "dir"; "/" -> "/"; "" -> "".
std::string lastPathComponent(const std::string& path);

// The text after the last dot of the last component, empty when there is none:
// "a.tar.gz" -> "gz"; ".jpg" -> "jpg"; "README" -> "".
std::string pathExtension(const std::string& path);

// Removes the last extension and its dot: "/in/x.final.jpg" -> "/in/x.final".
// A component that is only a dot and an extension (".jpg") is kept whole, and a
// trailing slash is dropped: "/tmp/" -> "/tmp".
std::string stringByDeletingPathExtension(const std::string& path);

// Joins with exactly one slash: ("/tmp", "a") -> "/tmp/a"; ("/", "a") -> "/a";
// ("", "a") -> "a"; ("/tmp/", "/a") -> "/tmp/a".
std::string stringByAppendingPathComponent(const std::string& path, const std::string& component);

// "/tmp/a" -> {"/", "tmp", "a"}; "a//b" -> {"a", "b"}; "a/" -> {"a", "/"}.
std::vector<std::string> pathComponents(const std::string& path);

// A leading "~" or "~/..." becomes the home folder; anything else is returned unchanged.
std::string stringByExpandingTildeInPath(const std::string& path);

// $HOME, or the password database's home when HOME is unset or empty.
std::string homeDirectory();

// $XDG_CONFIG_HOME when set to an absolute path, else ~/.config.
std::string configHome();

// $XDG_DATA_HOME when set to an absolute path, else ~/.local/share.
std::string dataHome();

} // namespace pellora::path
