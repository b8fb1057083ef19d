#pragma once

#include <string_view>

namespace pellora {

// The order in which a folder's files are listed: names compared byte by byte
// (unsigned, case-sensitive), except that a run of digits in both names
// compares by its value, so "IMG_2" comes before "IMG_10". Names equal in this
// sense ("IMG_2", "IMG_02") fall back to the plain byte order, so that the
// order is total and the same on every run.
bool naturalNameLess(std::string_view a, std::string_view b);

} // namespace pellora
