// How long a large list takes to fill: the image files of the given folders
// are listed and made into records as the import does, then every record's
// size and thumbnail is asked of the window's thumbnail cache, all at once as
// a long list's rows would be. Each figure is the wall time from the start of
// the program until that phase is complete; the peak is the resident set's.
// No display is needed (a core application: the cache needs an event loop,
// not a screen).
//
// Usage: bench_thumbnails DIR...
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "jobs/BatchController.h"
#include "model/PelloraImage.h"
#include "ui/ThumbnailCache.h"

namespace {

using namespace pellora;

double peakMebibytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR...\n", argv[0]);
        return 2;
    }

    std::vector<PelloraImagePtr> records;
    for (int index = 1; index < argc; ++index) {
        for (const std::string& path : BatchController::imageFilePathsInDirectory(argv[index])) {
            records.push_back(PelloraImage::pelloraImageWithPath(path));
        }
    }
    const double listed = clock.nsecsElapsed() / 1e9;
    if (records.empty()) {
        std::fprintf(stderr, "bench_thumbnails: no image files in the folders given\n");
        return 1;
    }

    ThumbnailCache cache;
    std::size_t sizesLeft = records.size();
    std::size_t thumbnailsLeft = records.size();
    double sized = 0;
    double thumbnailed = 0;
    QObject::connect(&cache, &ThumbnailCache::pixelSizeReady, [&] {
        if (--sizesLeft == 0) sized = clock.nsecsElapsed() / 1e9;
    });
    QObject::connect(&cache, &ThumbnailCache::thumbnailReady, [&] {
        if (--thumbnailsLeft == 0) {
            thumbnailed = clock.nsecsElapsed() / 1e9;
            QCoreApplication::quit();
        }
    });
    for (const PelloraImagePtr& record : records) {
        cache.thumbnailForRecord(record);
    }
    QCoreApplication::exec();

    std::printf("thumbnails: %zu files, listed %.2f s, sizes %.2f s, thumbnails %.2f s, peak %.0f MiB\n",
                records.size(), listed, sized, thumbnailed, peakMebibytes());
    return 0;
}
