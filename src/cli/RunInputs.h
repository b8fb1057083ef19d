#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "cli/BatchInputs.h"
#include "cli/BatchOptions.h"

namespace pellora::cli {

struct RunInputs {
    std::vector<BatchInput> inputs;  // this run's image files, in order
    std::size_t allShardsCount = 0;  // the image files of every shard together
    std::vector<std::string> foldersNotRead;  // folders named (or met below them) that could not be listed
};

// The image files this run exports: the paths given, then those of the file
// list, folders expanded and repeats left out, then this run's shard of them.
// nullopt, with error set, when the list cannot be read or the shard's K
// cannot be found.
std::optional<RunInputs> runInputsFor(const BatchOptions& options, std::string& error);

} // namespace pellora::cli
