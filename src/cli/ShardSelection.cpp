#include "cli/ShardSelection.h"

#include <charconv>
#include <cstdlib>
#include <fmt/format.h>

namespace pellora::cli {
namespace {

constexpr std::string_view kEnvironmentPrefix = "env:";

std::optional<long long> parseWholeNumber(std::string_view text) {
    long long value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || status != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

std::optional<long long> variableValue(const char* name, std::string& error) {
    const char* text = std::getenv(name);
    if (text == nullptr) {
        error = fmt::format("--shard: {} is not set", name);
        return std::nullopt;
    }
    const auto value = parseWholeNumber(text);
    if (!value) error = fmt::format("--shard: {} is \"{}\", not a whole number", name, text);
    return value;
}

} // namespace

std::optional<ShardSpec> parseShard(const std::string& text, std::string& error) {
    ShardSpec spec;
    const auto slash = text.rfind('/');
    const auto count = slash == std::string::npos ? std::nullopt : parseWholeNumber(std::string_view(text).substr(slash + 1));
    if (!count || *count < 1 || *count > INT32_MAX) {
        error = fmt::format("--shard takes K/N with 1 <= K <= N, not \"{}\"", text);
        return std::nullopt;
    }
    spec.count = static_cast<int>(*count);
    const std::string_view first = std::string_view(text).substr(0, slash);
    if (first.substr(0, kEnvironmentPrefix.size()) == kEnvironmentPrefix) {
        spec.variable = first.substr(kEnvironmentPrefix.size());
        if (spec.variable != "SLURM_ARRAY_TASK_ID" && spec.variable != "JOB_COMPLETION_INDEX") {
            error = fmt::format("--shard takes K from env:SLURM_ARRAY_TASK_ID or env:JOB_COMPLETION_INDEX only, "
                                "not from {}",
                                spec.variable);
            return std::nullopt;
        }
        return spec;
    }
    const auto index = parseWholeNumber(first);
    if (!index || *index < 1 || *index > *count) {
        error = fmt::format("--shard takes K/N with 1 <= K <= N, not \"{}\"", text);
        return std::nullopt;
    }
    spec.index = static_cast<int>(*index);
    return spec;
}

std::optional<int> resolveShardIndex(const ShardSpec& spec, std::string& error) {
    if (spec.variable.empty()) return spec.index;
    long long index = 0;
    if (spec.variable == "SLURM_ARRAY_TASK_ID") {
        const auto id = variableValue("SLURM_ARRAY_TASK_ID", error);
        if (!id) return std::nullopt;
        const auto first = variableValue("SLURM_ARRAY_TASK_MIN", error);
        if (!first) return std::nullopt;
        index = *id - *first + 1;
    } else {
        const auto completionIndex = variableValue("JOB_COMPLETION_INDEX", error);
        if (!completionIndex) return std::nullopt;
        index = *completionIndex + 1;
    }
    if (index < 1 || index > spec.count) {
        error = fmt::format("--shard: {} gives shard {}, outside 1 to {}", spec.variable, index, spec.count);
        return std::nullopt;
    }
    return static_cast<int>(index);
}

std::uint64_t fnv1a64(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : bytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::vector<BatchInput> selectShard(std::vector<BatchInput> inputs, const ShardSpec& spec, int k) {
    const auto count = static_cast<std::uint64_t>(spec.count);
    const auto wanted = static_cast<std::uint64_t>(k - 1);
    std::vector<BatchInput> selected;
    for (std::uint64_t i = 0; i < inputs.size(); ++i) {
        const std::uint64_t key = spec.byName ? fnv1a64(inputs[i].path) : i;
        if (key % count == wanted) selected.push_back(std::move(inputs[i]));
    }
    return selected;
}

} // namespace pellora::cli
