#pragma once

#include <string>
#include <vector>

namespace pellora {

// The image type list: every extension a registered decoder opens, with each
// case form as an entry of its own ("jpg", "JPG", "Jpg", "jPg", ...), so that an
// exact, case-sensitive match of a file's extension accepts any spelling of it.
// Built from the codec registry once; in registry order.
const std::vector<std::string>& imageFileTypes();

} // namespace pellora
