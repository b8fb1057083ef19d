#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// Texts looked up by key in a named string table: the built-in resource
// "<table>.strings.plist", a dictionary of strings. Each table is read once.
// A key the table lacks (or a table that is missing or unreadable) gives
// `value`, or the key itself when `value` is empty. Safe from any thread.
std::string localizedStringForKey(std::string_view key, std::string_view value, std::string_view table);

// Fills a text's placeholders: "%@" takes the next argument in turn, "%N$@" the
// Nth (from 1), "%%" is a percent sign. A placeholder without an argument
// becomes empty; any other '%' stays as it is.
std::string stringWithFormat(std::string_view format, const std::vector<std::string>& arguments);

} // namespace pellora
