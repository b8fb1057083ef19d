// How long the window's event loop stalls while the list is busy: a 10 ms
// timer runs throughout and its largest gap is the longest pause a user
// would feel. Three phases: 1,000 camera JPEGs listed and scrolled from top
// to bottom (thumbnails made meanwhile), 10,000 files added, and a large
// export. Target: under 100 ms for each.
//
// Usage: bench_window_responsiveness [folder of camera JPEGs]
// Without a folder, four 6000 x 4000 photo-like JPEGs are made and linked
// under 1,000 names in a temporary folder. Runs offscreen unless
// QT_QPA_PLATFORM says otherwise.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

#include "app/MainController.h"
#include "app/MainWindow.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "ui/ThumbnailCache.h"

namespace {

using namespace pellora;

bool writePhotoLikeJpeg(const QString& path, std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
    std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4);
    std::uint32_t noise = seed;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* pixel = pixels.data() + (std::size_t{y} * width + x) * 4;
            const int base[3] = {static_cast<int>(x * 200 / width), static_cast<int>(y * 180 / height),
                                 static_cast<int>((x + y + seed) * 150 / (width + height + seed))};
            for (int c = 0; c < 3; ++c) {
                noise = noise * 1664525u + 1013904223u;
                pixel[c] = static_cast<std::uint8_t>(std::clamp(base[c] + 30 + static_cast<int>(noise >> 27), 0, 255));
            }
            pixel[3] = 255;
        }
    }
    const auto destination = ImageDestination::createWithPath(QFile::encodeName(path).toStdString(), kImageTypeJPEG);
    if (!destination) {
        return false;
    }
    destination->addImage({pixels.data(), width, height, std::size_t{width} * 4, pixels.size()},
                          {{kImageDestinationLossyCompressionQuality, 0.92}});
    return destination->finalize();
}

// Links (or copies) the originals under count names in folder.
QStringList multiply(const QStringList& originals, const QString& folder, int count, const QString& extension) {
    QStringList names;
    for (int index = 0; index < count; ++index) {
        const QString target = QStringLiteral("%1/IMG_%2.%3").arg(folder).arg(index, 5, 10, QLatin1Char('0')).arg(extension);
        const QString& original = originals[index % originals.size()];
        if (::link(QFile::encodeName(original).constData(), QFile::encodeName(target).constData()) != 0) {
            QFile::copy(original, target);
        }
        names << target;
    }
    return names;
}

// The largest gap between the ticks of a 10 ms timer.
class PauseMeter {
public:
    PauseMeter() {
        _timer.setInterval(10);
        _timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&_timer, &QTimer::timeout, [this] {
            _longest = std::max(_longest, _sinceTick.restart());
        });
    }
    void start() {
        _longest = 0;
        _sinceTick.start();
        _timer.start();
    }
    qint64 stop() {
        _timer.stop();
        return std::max(_longest, _sinceTick.elapsed());
    }

private:
    QTimer _timer;
    QElapsedTimer _sinceTick;
    qint64 _longest = 0;
};

void runUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

void waitUntilIdle(MainController& controller) {
    runUntil([&] { return !controller.batch().isBusy(); }, 600'000);
    runUntil([] { return false; }, 100);  // the job's last hand-overs
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir work;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.filePath(QStringLiteral("config"))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);

    // The camera JPEGs.
    const QString cameraFolder = work.filePath(QStringLiteral("camera"));
    QDir().mkpath(cameraFolder);
    QStringList originals;
    if (argc > 1) {
        for (const QString& name : QDir(QString::fromLocal8Bit(argv[1])).entryList({"*.jpg", "*.JPG", "*.jpeg"}, QDir::Files, QDir::Name)) {
            originals << QDir(QString::fromLocal8Bit(argv[1])).filePath(name);
        }
    } else {
        std::printf("making four 6000 x 4000 photo-like JPEGs...\n");
        std::fflush(stdout);
        for (std::uint32_t seed = 1; seed <= 4; ++seed) {
            const QString path = work.filePath(QStringLiteral("original%1.jpg").arg(seed));
            if (!writePhotoLikeJpeg(path, 6000, 4000, seed)) {
                return 1;
            }
            originals << path;
        }
    }
    if (originals.isEmpty()) {
        std::fprintf(stderr, "no JPEGs found\n");
        return 1;
    }
    multiply(originals, cameraFolder, 1000, QStringLiteral("jpg"));

    // 10,000 small files.
    const QString manyFolder = work.filePath(QStringLiteral("many"));
    QDir().mkpath(manyFolder);
    const QString small = work.filePath(QStringLiteral("small.jpg"));
    writePhotoLikeJpeg(small, 64, 48, 9);
    multiply({small}, manyFolder, 10000, QStringLiteral("jpg"));

    // The launch's update check would fetch over the network while the window is measured.
    UserDefaults::standard().setObject(PlistValue(false), QVXUpdateDefaultsKey_checkAtlaunch);
    auto owner = std::make_unique<MainController>();
    MainController& controller = *owner;
    controller.window()->resize(900, 700);
    controller.window()->show();
    controller.applicationDidFinishLaunching();
    PauseMeter meter;
    QElapsedTimer clock;

    // 1. List 1,000 camera JPEGs and scroll through them while thumbnails are made.
    meter.start();
    clock.start();
    controller.batch().importImageFilesAtPaths({QFile::encodeName(cameraFolder).toStdString()});
    waitUntilIdle(controller);
    const qint64 listed = clock.elapsed();
    // The scroll bar counts rows: two rows every 20 ms, about a hundred rows a
    // second, so every row is drawn and asks for its thumbnail on the way.
    QScrollBar* scroller =
        controller.window()->findChild<QTableView*>(QStringLiteral("imagesTableView"))->verticalScrollBar();
    while (scroller->value() < scroller->maximum()) {
        scroller->setValue(scroller->value() + 2);
        runUntil([] { return false; }, 20);
    }
    const qint64 scrolled = clock.elapsed();
    // Then stay at the end while the rows shown there get their thumbnails.
    runUntil([] { return false; }, 5000);
    const qint64 listingPause = meter.stop();
    std::printf("listing 1,000 camera JPEGs (%d originals): listed in %lld ms, scrolled to the end at %lld ms, "
                "watched until %lld ms; longest pause %lld ms\n",
                static_cast<int>(originals.size()), static_cast<long long>(listed), static_cast<long long>(scrolled),
                static_cast<long long>(clock.elapsed()), static_cast<long long>(listingPause));
    std::fflush(stdout);

    // 2. Add 10,000 files to the list.
    controller.clearToolbarItemClicked();
    meter.start();
    clock.restart();
    controller.batch().importImageFilesAtPaths({QFile::encodeName(manyFolder).toStdString()});
    waitUntilIdle(controller);
    const qint64 addingPause = meter.stop();
    std::printf("adding 10,000 files: %lld ms, %zu listed, longest pause %lld ms\n",
                static_cast<long long>(clock.elapsed()), controller.batch().pelloraImages().count(),
                static_cast<long long>(addingPause));
    std::fflush(stdout);

    // 3. A large export: 24 of the camera JPEGs into 1024 x 768.
    controller.clearToolbarItemClicked();
    std::vector<std::string> exportSources;
    for (int index = 0; index < 24; ++index) {
        exportSources.push_back(QFile::encodeName(QStringLiteral("%1/IMG_%2.jpg").arg(cameraFolder).arg(index, 5, 10, QLatin1Char('0'))).toStdString());
    }
    controller.batch().importImageFilesAtPaths(exportSources);
    waitUntilIdle(controller);
    UserDefaults::standard().setObject(PlistValue(1), QVXDefaultsKey_exportDestination);
    UserDefaults::standard().setObject(PlistValue(QFile::encodeName(work.filePath("out")).toStdString()),
                                       QVXDefaultsKey_exportStaticLocation);
    controller.updateInterface();
    meter.start();
    clock.restart();
    controller.exportButtonClicked();
    waitUntilIdle(controller);
    const qint64 exportPause = meter.stop();
    std::printf("exporting 24 camera JPEGs: %lld ms, %d written, longest pause %lld ms\n",
                static_cast<long long>(clock.elapsed()),
                static_cast<int>(QDir(work.filePath("out")).entryList(QDir::Files).size()),
                static_cast<long long>(exportPause));

    const qint64 worst = std::max({listingPause, addingPause, exportPause});
    owner.reset();
    UserDefaults::standard().synchronize();  // before the temporary settings folder goes
    std::printf("longest pause overall: %lld ms (target under 100 ms): %s\n", static_cast<long long>(worst),
                worst < 100 ? "met" : "NOT met");
    return 0;
}
