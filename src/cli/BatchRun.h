#pragma once

#include <string>
#include <vector>

namespace pellora::cli {

// Exit statuses of pellora-batch.
inline constexpr int kExitSuccess = 0;     // every image written or skipped
inline constexpr int kExitFailure = 1;     // an image or a folder failed, or no image file was found
inline constexpr int kExitUsage = 2;       // bad command line or settings that need a window
inline constexpr int kExitInterrupted = 128;  // plus the signal number: 130 for Ctrl-C, 129 for a closed terminal

// The whole run of pellora-batch over its arguments (argv less the program
// name): import, export, summary. Returns the exit status.
int runBatch(const std::vector<std::string>& arguments);

} // namespace pellora::cli
