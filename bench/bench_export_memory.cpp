// Peak memory of an export: 10 records against 1,000 records of the same
// 1600 x 1200 JPEG, fitted within 512 pixels. Each export runs in a child
// process of its own so that each peak is measured alone. Memory stays flat
// when the two peaks are close. With the argument "tiff": 10 and 40 records
// of one 6000 x 4000 RGBA TIFF (LZW, strips of a few rows), as a scanner or
// an editor writes them.
#include <chrono>
#include <string_view>
#include <cstdio>
#include <fmt/format.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "BenchSupport.h"
#include "jobs/BatchController.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/AllocatorTuning.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/TypeIdentifiers.h"

namespace {

using namespace pellora;

struct Source {
    const char* type;
    const char* extension;
    std::uint32_t width;
    std::uint32_t height;
    std::vector<std::size_t> counts;
};

bool writeSource(const std::string& path, const Source& source) {
    const std::uint32_t width = source.width, height = source.height;
    std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4);
    for (std::size_t n = 0; n < pixels.size(); n += 4) {
        const std::size_t x = (n / 4) % width, y = (n / 4) / width;
        pixels[n] = std::uint8_t(x * 255 / width);
        pixels[n + 1] = std::uint8_t(y * 255 / height);
        pixels[n + 2] = std::uint8_t((x ^ y) & 0xFF);
        pixels[n + 3] = 255;
    }
    auto destination = ImageDestination::createWithPath(path, source.type);
    if (!destination) return false;
    destination->addImage(RgbaBitmapView{pixels.data(), width, height, std::size_t{width} * 4, pixels.size()}, {});
    return destination->finalize();
}

// In the child: exports `count` records and prints the figures.
int exportRecords(const std::vector<std::string>& sources, std::size_t count, const std::string& folder) {
    keepLargeBuffersForReuse();  // as the applications do
    registerDefaults();
    UserDefaults::standard().setArgumentDomain(
        {{QVXDefaultsKey_scalingMethod, 1}, {QVXDefaultsKey_scalingMaxWidthOrHeight, 512}});
    InlineDispatcher mainThread;
    bench::NullWindow window;
    BatchController controller(mainThread, window);
    controller.importImageFilesAtPaths({sources.begin(), sources.begin() + static_cast<std::ptrdiff_t>(count)});
    controller.waitUntilIdle();
    ::mkdir(folder.c_str(), 0755);
    const auto start = std::chrono::steady_clock::now();
    controller.exportImagesToPath(folder);
    controller.waitUntilIdle();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%5zu records: %7.2f s, %6.1f ms per record, peak RSS %6.1f MiB\n", count, seconds,
                1000 * seconds / double(count), double(usage.ru_maxrss) / 1024.0);
    std::fflush(stdout);  // the child leaves with _exit, which flushes nothing
    return controller.pelloraImages().empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const bool tiff = argc > 1 && std::string_view(argv[1]) == "tiff";
    const Source source = tiff ? Source{kImageTypeTIFF, "tif", 6000, 4000, {10, 40}}
                               : Source{kImageTypeJPEG, "jpg", 1600, 1200, {10, 1000}};
    bench::ScratchHome home;
    std::vector<std::string> sources;
    const std::string first = home.path() + fmt::format("/src0000.{}", source.extension);
    if (!writeSource(first, source)) return 1;
    sources.push_back(first);
    for (std::size_t n = 1; n < source.counts.back(); ++n) {
        sources.push_back(home.path() + fmt::format("/src{:04}.{}", n, source.extension));
        if (::link(first.c_str(), sources.back().c_str()) != 0) return 1;
    }
    std::printf("bench_export_memory: %u x %u %s sources, fit within 512, JPEG out\n", source.width, source.height,
                tiff ? "TIFF" : "JPEG");
    std::fflush(stdout);
    for (const std::size_t count : source.counts) {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(exportRecords(sources, count, home.path() + fmt::format("/out{}", count)));
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    }
    return 0;
}
