#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/BatchInputs.h"

namespace pellora::cli {

// Which share of the inputs this run takes: shard K of N (K from 1).
struct ShardSpec {
    int count = 1;             // N
    int index = 1;             // K, when given as a number
    std::string variable;      // otherwise the environment variable that gives it
    bool byName = false;       // pick by a hash of the path instead of the position
};

// "K/N", "env:SLURM_ARRAY_TASK_ID/N" or "env:JOB_COMPLETION_INDEX/N". nullopt,
// with error set, for anything else or a K outside 1..N.
std::optional<ShardSpec> parseShard(const std::string& text, std::string& error);

// K: as given, or from the environment. A Slurm array task is shard
// SLURM_ARRAY_TASK_ID - SLURM_ARRAY_TASK_MIN + 1, so that --array=0-3 and
// --array=1-4 both work; a Kubernetes Indexed Job's JOB_COMPLETION_INDEX
// counts from 0. nullopt, with error set, when a variable is missing or not a
// number, or K falls outside 1..N.
std::optional<int> resolveShardIndex(const ShardSpec& spec, std::string& error);

// The 64-bit FNV-1a hash of the bytes.
std::uint64_t fnv1a64(std::string_view bytes);

// The inputs of shard k: those at (0-based) positions i with i mod N == k - 1,
// or, by name, those whose path hashes to h with h mod N == k - 1. Order kept.
std::vector<BatchInput> selectShard(std::vector<BatchInput> inputs, const ShardSpec& spec, int k);

} // namespace pellora::cli
