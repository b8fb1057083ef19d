// CPU time of importing a folder of 100,000 image names (empty *.jpg files:
// the import judges names and opens no file), with a window that shows nothing.
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "BenchSupport.h"
#include "jobs/BatchController.h"
#include "platform/foundation/MainThread.h"

int main() {
    using namespace pellora;
    constexpr int kFiles = 100000;
    bench::ScratchHome home;
    const std::string folder = home.path() + "/names";
    ::mkdir(folder.c_str(), 0755);
    for (int n = 0; n < kFiles; ++n) {
        const int fd = ::open(fmt::format("{}/IMG_{:06}.jpg", folder, n).c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0) return 1;
        ::close(fd);
    }

    InlineDispatcher mainThread;
    bench::NullWindow window;
    BatchController controller(mainThread, window);
    for (const char* pass : {"new paths", "all listed already"}) {
        const double cpuStart = bench::cpuSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        controller.importImageFilesAtPaths({folder});
        controller.waitUntilIdle();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        std::printf("bench_import_cpu: %d names (%s): %.3f s CPU, %.3f s wall, %zu records\n", kFiles, pass,
                    bench::cpuSeconds() - cpuStart, wall, controller.pelloraImages().count());
    }
    return controller.pelloraImages().count() == kFiles ? 0 : 1;
}
