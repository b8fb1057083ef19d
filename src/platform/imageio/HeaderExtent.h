#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace pellora {

// How many leading bytes of a file hold all that its header and properties
// are read from, judged from a prefix of the file; nullopt when the prefix
// does not show it (a longer one may; failing that, the file is read whole).
// Known for JPEG: its segments up to and including the header of the first
// scan, which hold the frame, the profile and every metadata block. Other
// formats keep metadata anywhere in the file and are read whole.
std::optional<std::size_t> headerExtent(std::span<const std::uint8_t> prefix);

} // namespace pellora
