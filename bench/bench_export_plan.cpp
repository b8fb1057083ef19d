// Wall time of the check made before an export starts (names only, no
// decoding): 10,000 records from two camera folders whose file names repeat
// (a thousand clash), exported into a folder where half the outputs exist.
// The window asks for it at each export, so it must stay well under 100 ms.
#include <cstdio>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "BenchSupport.h"
#include "jobs/BatchController.h"
#include "model/PelloraImage.h"
#include "model/Settings.h"
#include "platform/foundation/MainThread.h"

int main() {
    using namespace pellora;
    constexpr int kRecords = 10000;
    constexpr int kRepeatedNames = 1000;  // the second folder's first names repeat the first folder's
    bench::ScratchHome home;
    registerDefaults();
    const std::string destination = home.path() + "/out";
    ::mkdir(destination.c_str(), 0755);

    InlineDispatcher mainThread;
    bench::NullWindow window;
    BatchController controller(mainThread, window);
    for (int n = 0; n < kRecords; ++n) {
        const bool second = n >= kRecords / 2;
        const int number = second ? n - kRecords / 2 + (kRecords / 2 - kRepeatedNames) : n;
        const std::string name = fmt::format("IMG_{:05}", number);
        controller.pelloraImages().addObject(
            PelloraImage::pelloraImageWithPath(fmt::format("/media/card{}/DCIM/{}.JPG", second ? 2 : 1, name)));
        if (n % 2 == 0) {
            const int fd = ::open(fmt::format("{}/{}.jpg", destination, name).c_str(), O_WRONLY | O_CREAT, 0644);
            if (fd < 0) return 1;
            ::close(fd);
        }
    }

    constexpr int kRuns = 21;
    ExportPlan plan;
    const double cpuStart = bench::cpuSeconds();
    const double milliseconds = bench::medianMilliseconds(kRuns, [&] {
        plan = controller.planExportToPath(destination);
        return plan.outputs.size() == kRecords;
    });
    const double cpuMilliseconds = (bench::cpuSeconds() - cpuStart) * 1000 / kRuns;
    std::printf("bench_export_plan: %d records: median %.1f ms wall, mean %.1f ms CPU "
                "(%zu clash, %zu exist already; limit 100 ms)\n",
                kRecords, milliseconds, cpuMilliseconds, plan.clashCount, plan.existingCount);
    return milliseconds >= 0 ? 0 : 1;
}
