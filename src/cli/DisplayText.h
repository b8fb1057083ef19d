#pragma once

#include <string>

namespace pellora::cli {

// A file name made safe to print on one terminal line: valid UTF-8 is kept,
// control characters become \n, \t, \r, \\ or \xNN, and bytes that are not
// UTF-8 become \xNN, so that no name can move the cursor or break a line.
std::string displayText(const std::string& bytes);

} // namespace pellora::cli
