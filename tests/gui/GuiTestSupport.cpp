#include "GuiTestSupport.h"

#include "support/TestHttpServer.h"
#include "support/TestPictures.h"
#include "platform/imageio/TypeIdentifiers.h"

namespace pellora::guitest {

namespace {

template <class Child>
Child* named(const QObject& window, const char* name) {
    return window.findChild<Child*>(QLatin1String(name));
}

} // namespace

MainWindowControls controls(const MainController& controller) {
    const QMainWindow& window = *controller.window();
    ImagesTableView* table = named<ImagesTableView>(window, "imagesTableView");
    return MainWindowControls{
        table,
        table ? table->verticalScrollBar() : nullptr,
        named<QLabel>(window, "numImagesTextField"),
        named<QComboBox>(window, "scalingPopUpButton"),
        named<QStackedWidget>(window, "scalingEnclosureTabView"),
        named<QComboBox>(window, "maxSideComboBox"),
        named<QComboBox>(window, "maxWidthComboBox"),
        named<QComboBox>(window, "maxHeightComboBox"),
        named<QSlider>(window, "scalePercentageSlider"),
        named<QLabel>(window, "scalePercentageTextField"),
        named<QComboBox>(window, "formatPopUpButton"),
        named<QSlider>(window, "jpegQualitySlider"),
        named<QLabel>(window, "jpegQualityTextField"),
        named<QSlider>(window, "jpeg2000QualitySlider"),
        named<QLabel>(window, "jpeg2000QualityTextField"),
        named<QPushButton>(window, "exportButton"),
        named<QProgressBar>(window, "progressBar"),
        named<QAction>(window, "addFilesMenuItem"),
        named<QAction>(window, "exportMenuItem"),
        named<QAction>(window, "viewSelectedMenuItem"),
        named<QAction>(window, "quitMenuItem"),
        named<QAction>(window, "addRecentMenuItem"),
        named<QAction>(window, "checkForUpdatesMenuItem"),
        named<QAction>(window, "preferencesMenuItem"),
    };
}

void writeJpeg(const QString& path, int width, int height) {
    QVERIFY(test::writeGradient(QFile::encodeName(path).toStdString(), kImageTypeJPEG, std::uint32_t(width),
                                std::uint32_t(height)));
}

void writeOrientedQuarters(const QString& path, int tag, int width, int height) {
    QVERIFY(test::writeOrientedPicture(QFile::encodeName(path).toStdString(), tag, std::uint32_t(width),
                                       std::uint32_t(height), test::quarters(std::uint32_t(width), std::uint32_t(height))));
}

bool showsUprightQuarters(const QImage& image) {
    if (image.isNull()) return false;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            const QColor shown =
                image.pixelColor(image.width() * (1 + 2 * column) / 4, image.height() * (1 + 2 * row) / 4);
            const test::Rgba expected = test::quarterColour(row, column);
            if (std::abs(shown.red() - expected.r) > 24 || std::abs(shown.green() - expected.g) > 24 ||
                std::abs(shown.blue() - expected.b) > 24) {
                return false;
            }
        }
    }
    return true;
}

bool launch(std::unique_ptr<MainController>& controller, bool shown) {
    controller = std::make_unique<TestController>();
    if (shown) controller->window()->show();
    controller->applicationDidFinishLaunching();
    return !shown || QTest::qWaitForWindowExposed(controller->window());
}

void addRecords(MainController& controller, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        controller.batch().pelloraImages().addObject(PelloraImage::pelloraImageWithPath(path));
    }
    controller.reloadData();
}

bool waitUntilIdle(MainController& controller, int timeoutMs) {
    const auto* tested = dynamic_cast<const TestController*>(&controller);
    if (tested == nullptr ||
        !QTest::qWaitFor([&] { return !controller.batch().isBusy() && tested->refreshedIdle(); }, timeoutMs)) {
        return false;
    }
    // From here on the job's thread only posts, without waiting for this thread.
    controller.batch().waitUntilIdle();
    QCoreApplication::sendPostedEvents();
    return true;
}

bool importPhotosForFixedFolderExport(MainController& controller, const QString& sources, const QString& output,
                                      int count) {
    if (!QDir().mkpath(sources)) return false;
    for (int index = 0; index < count; ++index) {
        writeJpeg(sources + QStringLiteral("/%1.jpg").arg(index, 2, 10, QLatin1Char('0')), 1600, 1200);
    }
    UserDefaults::standard().setObject(PlistValue(1), QVXDefaultsKey_exportDestination);
    UserDefaults::standard().setObject(PlistValue(QFile::encodeName(output).toStdString()),
                                       QVXDefaultsKey_exportStaticLocation);
    controller.batch().importImageFilesAtPaths({QFile::encodeName(sources).toStdString()});
    return waitUntilIdle(controller);
}

QByteArray fileUri(const QString& path) {
    return QUrl::fromLocalFile(path).toEncoded();
}

bool dragUriListOntoTable(MainController& controller, const QByteArray& uriList, bool drop) {
    QWidget* viewport = guitest::controls(controller).imagesTableView->viewport();
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), uriList);
    const QPoint point(10, 10);
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    if (!enter.isAccepted()) return false;
    QDragMoveEvent move(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
    if (!move.isAccepted() || move.dropAction() != Qt::CopyAction) return false;
    if (!drop) return true;
    QDropEvent dropEvent(QPointF(point), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &dropEvent);
    return dropEvent.isAccepted();
}

QByteArray unreachableUpdateURL() {
    return QByteArray("http://127.0.0.1:") + QByteArray::number(test::TestHttpServer::closedPort()) +
           QByteArray("/QVXUpdateDatabase.xml");
}

std::shared_ptr<AnsweredAlert> answerNextAlert(const QString& button, int timeoutMs) {
    auto alert = std::make_shared<AnsweredAlert>();
    auto* timer = new QTimer(QCoreApplication::instance());
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, timer, [alert, button, timer, clock, timeoutMs] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        const bool shown = box != nullptr && box->isVisible();
        if (shown || clock.elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
        if (!shown) return;
        alert->text = box->text();
        alert->informativeText = box->informativeText();
        QAbstractButton* chosen = nullptr;
        for (QAbstractButton* candidate : box->buttons()) {
            alert->buttons << candidate->text();
            if (candidate->text() == button) chosen = candidate;
        }
        // The box orders its buttons by role; the test asks which there are.
        alert->buttons.sort();
        alert->answered = chosen != nullptr;
        if (chosen != nullptr) chosen->click();
        else box->reject();
    });
    timer->start(10);
    return alert;
}

} // namespace pellora::guitest
