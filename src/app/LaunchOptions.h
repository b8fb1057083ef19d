#pragma once

#include <cstdio>
#include <optional>

namespace pellora {

// The options that only print something: --help (-h) and --version. They are
// answered before the application object exists, so they work without a
// display and never reach a running instance. Arguments after "--" are file
// names. Returns the exit status when such an option was given, else nothing.
std::optional<int> answerInformationalOptions(int argc, const char* const argv[], std::FILE* out);

} // namespace pellora
