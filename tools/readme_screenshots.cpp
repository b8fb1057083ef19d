// Takes the README's pictures: the main window with twenty photographs listed
// and the viewer showing one of them; and, given a folder of photographs laid
// out by scripts/readme-screenshots.sh, the sheets an export shows over the
// main window: the check of the list's names before it starts and the report
// at its end. Run by that script under a virtual X display; writes
// main-window.png, viewer.png (and export-check.png, export-report.png) into
// the folder given as its first argument. Settings and recent files go to a
// temporary home, never the user's.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "app/MainController.h"
#include "app/MainWindow.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/ExportConflictSheet.h"
#include "ui/ExportReportSheet.h"

namespace {

// Lets the event loop run until neither an import nor an export runs, then a
// moment more for the job's last hand-overs to the window. False on time-out.
bool waitUntilIdle(pellora::MainController& controller, int timeoutMs = 60000) {
    const bool idle = QTest::qWaitFor([&] { return !controller.batch().isBusy(); }, timeoutMs);
    QTest::qWait(200);
    return idle;
}

// A small landscape: sky, sun and hills, in a hue of its own.
void paintPhotograph(const QString& path, int index) {
    const bool portrait = index % 5 == 3;
    QImage image(portrait ? 600 : 800, portrait ? 800 : 600, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const int hue = (index * 37) % 360;
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor::fromHsv(hue, 120, 230));
    sky.setColorAt(1, QColor::fromHsv((hue + 40) % 360, 40, 255));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv(45, 200, 255));
    painter.drawEllipse(QPointF(image.width() * (0.2 + 0.06 * (index % 10)), image.height() * 0.25), 50, 50);
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath hills;
        const double base = image.height() * (0.55 + 0.12 * layer);
        hills.moveTo(0, image.height());
        hills.lineTo(0, base);
        for (int x = 0; x <= image.width(); x += 40) {
            hills.lineTo(x, base - 40 * std::sin((x + index * 90 + layer * 150) / 120.0));
        }
        hills.lineTo(image.width(), image.height());
        painter.setBrush(QColor::fromHsv((hue + 120 + layer * 10) % 360, 140, 170 - layer * 40));
        painter.drawPath(hills);
    }
    painter.end();
    image.save(path, "JPG", 85);
}

// The main window with the sheet that is open over it, drawn where it shows,
// with a thin frame (no window manager draws one on the virtual display).
bool saveWindowWithSheet(QWidget* window, QWidget* sheet, const QString& path) {
    QTest::qWait(500);
    QPixmap shot = window->grab();
    QPainter painter(&shot);
    const QPoint offset = sheet->mapToGlobal(QPoint(0, 0)) - window->mapToGlobal(QPoint(0, 0));
    painter.drawPixmap(offset, sheet->grab());
    painter.setPen(QColor(0, 0, 0, 90));
    painter.drawRect(QRect(offset, sheet->size()).adjusted(0, 0, -1, -1));
    painter.end();
    return shot.save(path);
}

// An export of the photographs' folders (two cameras whose file names overlap,
// and a file cut short) into a folder that holds one of the outputs already:
// the check before it starts, then the report at its end.
bool takeExportSheets(pellora::MainController& controller, const QDir& photos, const QDir& home, const QDir& output) {
    using namespace pellora;
    const QString destination = home.filePath(QStringLiteral("Exports"));
    if (!QDir().mkpath(destination) ||
        !QFile::copy(photos.filePath(QStringLiteral("Anna/IMG_0003.jpg")), destination + "/IMG_0003.jpg")) {
        return false;
    }
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setObject(PlistValue(1), QVXDefaultsKey_exportDestination);
    defaults.setObject(PlistValue(QFile::encodeName(destination).toStdString()), QVXDefaultsKey_exportStaticLocation);
    controller.updateInterface();

    controller.clearToolbarItemClicked();
    controller.openFiles({QFile::encodeName(photos.filePath(QStringLiteral("Anna"))).toStdString(),
                          QFile::encodeName(photos.filePath(QStringLiteral("Ben"))).toStdString()});
    if (!waitUntilIdle(controller)) return false;
    QTest::qWait(2000);  // thumbnails

    controller.exportButtonClicked();
    ExportConflictSheet* check = controller.conflictSheet();
    if (check == nullptr || !QTest::qWaitForWindowExposed(check) ||
        !saveWindowWithSheet(controller.window(), check, output.filePath(QStringLiteral("export-check.png")))) {
        return false;
    }
    check->exportAnywayButton()->click();
    if (!waitUntilIdle(controller)) return false;
    QTest::qWait(1000);
    ExportReportSheet* report = controller.reportSheet();
    return report != nullptr && QTest::qWaitForWindowExposed(report) &&
           saveWindowWithSheet(controller.window(), report, output.filePath(QStringLiteral("export-report.png")));
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc != 2 && argc != 3) {
        qWarning("usage: readme_screenshots OUTPUT_FOLDER [PHOTOGRAPHS_FOLDER]");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));

    QDir photos(home.path());
    photos.mkdir(QStringLiteral("Holiday"));
    photos.cd(QStringLiteral("Holiday"));
    for (int index = 0; index < 20; ++index) {
        paintPhotograph(photos.filePath(QStringLiteral("IMG_%1.jpg").arg(4100 + index * 3)), index);
    }

    pellora::MainController controller;
    controller.window()->resize(900, 760);
    controller.window()->show();
    controller.applicationDidFinishLaunching();
    controller.openFiles({photos.path().toStdString()});
    if (!QTest::qWaitForWindowExposed(controller.window()) || !waitUntilIdle(controller)) return 1;
    controller.window()->findChild<QTableView*>(QStringLiteral("imagesTableView"))->selectRow(4);
    QTest::qWait(2000);  // thumbnails are decoded in the background
    if (!controller.window()->grab().save(output.filePath(QStringLiteral("main-window.png")))) return 1;

    controller.showViewer();
    QWidget* viewer = controller.viewerController().window();
    viewer->resize(640, 520);
    if (!QTest::qWaitForWindowExposed(viewer)) return 1;
    QTest::qWait(1500);
    if (!viewer->grab().save(output.filePath(QStringLiteral("viewer.png")))) return 1;
    viewer->close();
    if (argc == 3 && !takeExportSheets(controller, QDir(QString::fromLocal8Bit(argv[2])), QDir(home.path()), output)) {
        return 1;
    }
    return 0;
}
