// How long a large list takes to fill: the image files of the given folders
// are listed and made into records as the import does, then every record's
// size and thumbnail is asked of the window's thumbnail cache, all at once as
// a long list's rows would be. Each figure is the wall time from the start of
// the program until that phase is complete; the peak is the resident set's.
// No display is needed (a core application: the cache needs an event loop,
// not a screen).
//
// Usage: bench_thumbnails [DIR...]
// Without folders (as `make bench` runs it), the camera photographs of the
// benchmark corpus (build/bench-corpus/jpeg, made by bench/peer-comparison.sh)
// are linked under 1,000 names in a temporary folder; without the corpus the
// benchmark is skipped.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
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

// Links the corpus's photographs under count names in folder; false when there are none.
bool linkCorpusPhotos(const QString& folder, int count) {
    const QDir corpus(QStringLiteral("build/bench-corpus/jpeg"));
    const QStringList photos = corpus.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    if (photos.isEmpty()) return false;
    for (int index = 0; index < count; ++index) {
        const QByteArray original = QFile::encodeName(corpus.absoluteFilePath(photos[index % photos.size()]));
        const QByteArray name = QFile::encodeName(QStringLiteral("%1/P_%2.jpg").arg(folder).arg(index, 4, 10, QLatin1Char('0')));
        if (::link(original.constData(), name.constData()) != 0 && ::symlink(original.constData(), name.constData()) != 0) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    QCoreApplication application(argc, argv);
    std::vector<std::string> folders(argv + 1, argv + argc);
    QTemporaryDir linked;
    if (folders.empty()) {
        if (!linked.isValid() || !linkCorpusPhotos(linked.path(), 1000)) {
            std::printf("thumbnails: skipped (no folders given and no photographs in build/bench-corpus/jpeg)\n");
            return 0;
        }
        folders.push_back(QFile::encodeName(linked.path()).toStdString());
        clock.restart();
    }

    std::vector<PelloraImagePtr> records;
    for (const std::string& folder : folders) {
        for (const std::string& path : BatchController::imageFilePathsInDirectory(folder)) {
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
