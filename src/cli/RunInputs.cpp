#include "cli/RunInputs.h"

namespace pellora::cli {

std::optional<RunInputs> runInputsFor(const BatchOptions& options, std::string& error) {
    std::optional<int> shardIndex;
    if (options.shard) {
        shardIndex = resolveShardIndex(*options.shard, error);
        if (!shardIndex) return std::nullopt;
    }
    std::vector<std::string> paths = options.paths;
    if (options.filesFrom) {
        const auto listed = readPathList(*options.filesFrom, options.nulSeparated, error);
        if (!listed) return std::nullopt;
        paths.insert(paths.end(), listed->begin(), listed->end());
    }
    RunInputs run;
    run.inputs = expandInputs(paths, options.recursive, run.foldersNotRead);
    run.allShardsCount = run.inputs.size();
    if (options.shard) run.inputs = selectShard(std::move(run.inputs), *options.shard, *shardIndex);
    return run;
}

} // namespace pellora::cli
