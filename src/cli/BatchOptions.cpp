#include "cli/BatchOptions.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <fmt/format.h>

#include "model/SettingsKeys.h"

namespace pellora::cli {
namespace {

constexpr int kMostJobs = 256;

std::optional<int> parsePositiveInteger(const std::string& text) {
    int value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

std::optional<double> parseNumber(const std::string& text) {
    double value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<ScalingMethod> methodNamed(const std::string& name) {
    if (name == "fit") return ScalingMethod::FitWithin;
    if (name == "side") return ScalingMethod::LongestSide;
    if (name == "percent") return ScalingMethod::Percentage;
    if (name == "full") return ScalingMethod::FullSize;
    return std::nullopt;
}

std::optional<ExportFormat> formatNamed(const std::string& name) {
    if (name == "jpeg" || name == "jpg") return ExportFormat::JPEG;
    if (name == "jp2") return ExportFormat::JPEG2000;
    if (name == "png") return ExportFormat::PNG;
    if (name == "tiff" || name == "tif") return ExportFormat::TIFF;
    if (name == "bmp") return ExportFormat::BMP;
    return std::nullopt;
}

const char* methodName(ScalingMethod method) {
    switch (method) {
    case ScalingMethod::FitWithin: return "fit";
    case ScalingMethod::LongestSide: return "side";
    case ScalingMethod::Percentage: return "percent";
    case ScalingMethod::FullSize: return "full";
    }
    return "full";
}

// Records the method an option names or implies; false when an earlier
// option chose a different one. chosenBy keeps the option that chose it.
bool implyMethod(BatchOptions& options, ScalingMethod method, const std::string& option, std::string& chosenBy,
                 std::string& error) {
    if (options.scalingMethod && *options.scalingMethod != method) {
        error = fmt::format("{} (method {}) contradicts {} (method {})", option, methodName(method), chosenBy,
                            methodName(*options.scalingMethod));
        return false;
    }
    options.scalingMethod = method;
    chosenBy = option;
    return true;
}

} // namespace

PlistDictionary BatchOptions::settingsOverrides(ExportFormat effectiveExportFormat) const {
    PlistDictionary overrides;
    if (output) {
        overrides.set(QVXDefaultsKey_exportDestination, 1);
        overrides.set(QVXDefaultsKey_exportStaticLocation, *output);
    }
    if (scalingMethod) overrides.set(QVXDefaultsKey_scalingMethod, storedValue(*scalingMethod));
    if (maxWidth) overrides.set(QVXDefaultsKey_scalingMaxWidth, *maxWidth);
    if (maxHeight) overrides.set(QVXDefaultsKey_scalingMaxHeight, *maxHeight);
    if (maxSide) overrides.set(QVXDefaultsKey_scalingMaxWidthOrHeight, *maxSide);
    if (percentage) overrides.set(QVXDefaultsKey_scalingPercentage, *percentage);
    if (exportFormat) overrides.set(QVXDefaultsKey_exportFormat, storedValue(*exportFormat));
    if (quality) {
        const bool jpeg2000 = effectiveExportFormat == ExportFormat::JPEG2000;
        overrides.set(jpeg2000 ? QVXDefaultsKey_JPEG2000ExportQuality : QVXDefaultsKey_JPEGExportQuality, *quality);
    }
    if (overwrite) overrides.set(QVXDefaultsKey_overriteExistingFilesOnExport, *overwrite);
    if (metadata) overrides.set(QVXDefaultsKey_preserveMetadata, *metadata);
    if (rotate) overrides.set(QVXDefaultsKey_hardRotate, *rotate);
    return overrides;
}

std::optional<BatchOptions> parseBatchOptions(const std::vector<std::string>& arguments, std::string& error) {
    BatchOptions options;
    std::string methodChosenBy;
    std::optional<bool> shardByName;
    bool optionsEnded = false;
    for (std::size_t n = 0; n < arguments.size(); ++n) {
        std::string argument = arguments[n];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.paths.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" or "--name value".
        std::optional<std::string> inlineValue;
        if (const auto equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = argument.substr(equals + 1);
            argument.resize(equals);
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (n + 1 < arguments.size()) return arguments[++n];
            error = fmt::format("{} needs a value", argument);
            return std::nullopt;
        };
        const auto noValue = [&] {
            if (inlineValue) error = fmt::format("{} takes no value", argument);
            return !inlineValue;
        };
        const auto flag = [&](std::optional<bool>& target, bool setting) {
            if (noValue()) target = setting;
            return !inlineValue;
        };

        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--output" || argument == "-o") {
            const auto folder = value();
            if (!folder) return std::nullopt;
            if (folder->empty()) {
                error = "--output needs a folder";
                return std::nullopt;
            }
            options.output = *folder;
        } else if (argument == "--method") {
            const auto text = value();
            if (!text) return std::nullopt;
            const auto method = methodNamed(*text);
            if (!method) {
                error = fmt::format("--method takes fit, side, percent or full, not \"{}\"", *text);
                return std::nullopt;
            }
            if (!implyMethod(options, *method, "--method " + *text, methodChosenBy, error)) return std::nullopt;
        } else if (argument == "--width" || argument == "--height" || argument == "--side") {
            const auto text = value();
            if (!text) return std::nullopt;
            const auto pixels = parsePositiveInteger(*text);
            if (!pixels) {
                error = fmt::format("{} takes a whole number of pixels from 1 up, not \"{}\"", argument, *text);
                return std::nullopt;
            }
            const ScalingMethod method = argument == "--side" ? ScalingMethod::LongestSide : ScalingMethod::FitWithin;
            if (!implyMethod(options, method, argument, methodChosenBy, error)) return std::nullopt;
            (argument == "--width" ? options.maxWidth : argument == "--height" ? options.maxHeight : options.maxSide) =
                *pixels;
        } else if (argument == "--percent") {
            const auto text = value();
            if (!text) return std::nullopt;
            const auto percent = parseNumber(*text);
            if (!percent || *percent <= 0 || *percent > 1e6) {
                error = fmt::format("--percent takes a number above 0 (50 is half size), not \"{}\"", *text);
                return std::nullopt;
            }
            if (!implyMethod(options, ScalingMethod::Percentage, argument, methodChosenBy, error)) return std::nullopt;
            options.percentage = static_cast<float>(*percent / 100.0);
        } else if (argument == "--format") {
            const auto text = value();
            if (!text) return std::nullopt;
            options.exportFormat = formatNamed(*text);
            if (!options.exportFormat) {
                error = fmt::format("--format takes jpeg, jp2, png, tiff or bmp, not \"{}\"", *text);
                return std::nullopt;
            }
        } else if (argument == "--quality") {
            const auto text = value();
            if (!text) return std::nullopt;
            const auto percent = parseNumber(*text);
            if (!percent || *percent < 0 || *percent > 100) {
                error = fmt::format("--quality takes a percentage from 0 to 100, not \"{}\"", *text);
                return std::nullopt;
            }
            options.quality = static_cast<float>(*percent / 100.0);
        } else if (argument == "--overwrite" || argument == "--no-overwrite") {
            if (!flag(options.overwrite, argument == "--overwrite")) return std::nullopt;
        } else if (argument == "--metadata" || argument == "--no-metadata") {
            if (!flag(options.metadata, argument == "--metadata")) return std::nullopt;
        } else if (argument == "--rotate" || argument == "--no-rotate") {
            if (!flag(options.rotate, argument == "--rotate")) return std::nullopt;
        } else if (argument == "--files-from") {
            const auto file = value();
            if (!file) return std::nullopt;
            if (file->empty()) {
                error = "--files-from needs a file (- for standard input)";
                return std::nullopt;
            }
            options.filesFrom = *file;
        } else if (argument == "-0" || argument == "--null") {
            if (!noValue()) return std::nullopt;
            options.nulSeparated = true;
        } else if (argument == "--shard") {
            const auto text = value();
            if (!text) return std::nullopt;
            options.shard = parseShard(*text, error);
            if (!options.shard) return std::nullopt;
        } else if (argument == "--shard-by") {
            const auto text = value();
            if (!text) return std::nullopt;
            if (*text != "index" && *text != "name") {
                error = fmt::format("--shard-by takes index or name, not \"{}\"", *text);
                return std::nullopt;
            }
            shardByName = *text == "name";
        } else if (argument == "--report") {
            const auto file = value();
            if (!file) return std::nullopt;
            if (file->empty()) {
                error = "--report needs a file";
                return std::nullopt;
            }
            options.report = *file;
        } else if (argument == "--jobs" || argument == "-j") {
            const auto text = value();
            if (!text) return std::nullopt;
            options.jobs = parsePositiveInteger(*text);
            if (!options.jobs || *options.jobs > kMostJobs) {
                error = fmt::format("--jobs takes a number from 1 to {}, not \"{}\"", kMostJobs, *text);
                return std::nullopt;
            }
        } else if (argument == "--recursive" || argument == "-r") {
            if (!noValue()) return std::nullopt;
            options.recursive = true;
        } else if (argument == "--dry-run" || argument == "-n") {
            if (!noValue()) return std::nullopt;
            options.dryRun = true;
        } else {
            error = fmt::format("unknown option {}", argument);
            return std::nullopt;
        }
    }
    if (shardByName) {
        if (!options.shard) {
            error = "--shard-by needs --shard";
            return std::nullopt;
        }
        options.shard->byName = *shardByName;
    }
    if (!options.help && !options.version && options.paths.empty() && !options.filesFrom) {
        error = "no files or folders given";
        return std::nullopt;
    }
    return options;
}

std::string usageText() {
    return R"(Usage: pellora-batch [options] PATH...
       pellora-batch [options] --files-from FILE [PATH...]

Resizes and converts image files in one go. Each PATH is an image file or a
folder (the image files directly inside it are taken, in natural name order:
IMG_2 before IMG_10). Every image is written into one destination folder,
named after its source with the format's extension. Source files are never
changed. Options override the settings of the desktop application for this
run only; nothing is stored.

Destination:
  -o, --output DIR        write into DIR, created with its missing parents
                          (default: the fixed export folder of the settings)
Size (one method):
  --method fit|side|percent|full
  --width N, --height N   fit within N pixels wide / high (method fit)
  --side N                fit both sides within N pixels (method side)
  --percent P             scale to P percent; 50 is half size (method percent)
                          Images are never enlarged.
Format:
  --format jpeg|jp2|png|tiff|bmp
  --quality PERCENT       quality of JPEG or JPEG 2000, 0 to 100
Options:
  --overwrite, --no-overwrite   replace existing output files, or skip them
  --metadata, --no-metadata     carry the source's metadata into the output
  --rotate, --no-rotate         turn the pixels upright by the orientation tag
  -h, --help, --version
Inputs:
  --files-from FILE       also take the paths listed in FILE, one per line
                          (- for standard input); folders are scanned
  -0, --null              the list's paths end in NUL bytes (find -print0),
                          for names holding newlines
  -r, --recursive         scan folders to any depth (links to folders are not
                          followed); each output keeps its folders under DIR,
                          relative to the folder argument, or as written for
                          a relative file path ("." and ".." left out)
Several machines or processes:
  --shard K/N             take shard K of N (1 <= K <= N): of all inputs,
                          folders expanded, the i-th (from 0) when
                          i mod N = K-1. K may be env:SLURM_ARRAY_TASK_ID
                          (minus SLURM_ARRAY_TASK_MIN, plus 1) or
                          env:JOB_COMPLETION_INDEX (plus 1)
  --shard-by index|name   index (the default) as above; name: by the 64-bit
                          FNV-1a hash of the path, so that adding files moves
                          no other file to another shard
  --report FILE           write a JSON Lines report to FILE, one object per
                          image as it is done: input, output, status
                          (written, skipped, failed), reason, width, height,
                          bytes, ms
  -j, --jobs N            prepare N images at once (default: the processors
                          this process may use, by its CPU affinity and
                          cgroup quota)
  -n, --dry-run           print what would be written, skipped or would clash
                          (two images with the same output), without decoding
                          or writing anything; exit 1 when names clash

Rerunning a run that was interrupted or killed (without --overwrite) writes
only what is missing: outputs appear whole or not at all, and existing ones
are skipped.

Exit status: 0 when every image was written or skipped (or a shard held no
image); 1 when any failed or no image file was found; 2 for a usage error;
128 + the signal when interrupted (130 for Ctrl-C, 143 for SIGTERM: the
current file is finished, the rest are listed as not exported).
)";
}

} // namespace pellora::cli
