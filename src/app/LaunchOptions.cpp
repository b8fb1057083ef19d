#include "app/LaunchOptions.h"

#include <string_view>

namespace pellora {

namespace {

constexpr const char* kUsage = R"(Usage: pellora [FILE|FOLDER]...

Resizes and converts image files in batches. Each FILE or FOLDER given is
added to the list of source images (a folder gives the image files directly
inside it). When Pellora already runs, they are handed to its window.

Options:
  -h, --help     show this help and exit
      --version  show the version and exit
  --             the arguments that follow are file names

pellora-batch does the same work in a terminal.
)";

} // namespace

std::optional<int> answerInformationalOptions(int argc, const char* const argv[], std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") break;
        if (argument == "-h" || argument == "--help") {
            std::fputs(kUsage, out);
            return 0;
        }
        if (argument == "--version") {
            std::fprintf(out, "Pellora %s\n", PELLORA_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace pellora
