#pragma once

#include <string_view>

namespace pellora {

// The bytes of a file of resources/ built into the program, found by its file
// name ("QVXUpdate.strings.plist"); empty when no resource has that name. The
// definition is generated at build time, so the core never searches the disk.
std::string_view embeddedResource(std::string_view name);

} // namespace pellora
