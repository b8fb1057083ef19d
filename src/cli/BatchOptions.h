#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/ShardSelection.h"
#include "model/SettingsChoices.h"
#include "platform/foundation/PlistValue.h"

namespace pellora::cli {

// The command line of pellora-batch.
struct BatchOptions {
    bool help = false;
    bool version = false;
    std::optional<std::string> output;   // --output DIR
    std::optional<ScalingMethod> scalingMethod;  // from --method, --width/--height, --side, --percent
    std::optional<int> maxWidth;
    std::optional<int> maxHeight;
    std::optional<int> maxSide;
    std::optional<float> percentage;     // a fraction: --percent 50 gives 0.5
    std::optional<ExportFormat> exportFormat;    // --format
    std::optional<float> quality;        // a fraction from 0 to 1
    std::optional<bool> overwrite;
    std::optional<bool> metadata;
    std::optional<bool> rotate;
    std::vector<std::string> paths;
    std::optional<std::string> filesFrom;  // --files-from FILE ("-": standard input)
    bool nulSeparated = false;             // -0, --null: the list's entries end in NUL bytes
    std::optional<ShardSpec> shard;        // --shard K/N, --shard-by
    std::optional<std::string> report;     // --report FILE
    std::optional<int> jobs;               // --jobs N
    bool recursive = false;
    bool dryRun = false;

    // The settings these options override, for the store's argument domain.
    // quality goes to the key of the format given (JPEG or JPEG 2000).
    PlistDictionary settingsOverrides(ExportFormat effectiveExportFormat) const;
};

// Parses argv[1...]. On a usage error, returns nothing and sets error to a
// one-line message.
std::optional<BatchOptions> parseBatchOptions(const std::vector<std::string>& arguments, std::string& error);

// The text of --help.
std::string usageText();

} // namespace pellora::cli
