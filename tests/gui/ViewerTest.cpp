// The viewer window: the size label by the overhang rule, following the
// selection and resizes, no selection, upright pictures, one controller for
// the run, its frame.

#include "GuiTestSupport.h"
#include "ui/ScaledImageView.h"
#include "ui/ScreenImageDecoder.h"
#include "ui/ViewerController.h"

using namespace pellora;

class ViewerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(_files.isValid());
        guitest::writeJpeg(_files.filePath(QStringLiteral("large.jpg")), 1000, 800);
        guitest::writeJpeg(_files.filePath(QStringLiteral("small.jpg")), 120, 90);
    }
    void init() {
        QVERIFY(guitest::launch(_controller, false));
        guitest::addRecords(*_controller, {QFile::encodeName(_files.filePath("large.jpg")).toStdString(),
                                           QFile::encodeName(_files.filePath("small.jpg")).toStdString()});
    }
    void cleanup() { _controller.reset(); }

    void shownSizeFollowsTheOverhangRule_data() {
        QTest::addColumn<QSizeF>("image");
        QTest::addColumn<QSizeF>("shown");
        QTest::newRow("fits: its own size") << QSizeF(300, 200) << QSizeF(300, 200);
        QTest::newRow("wide") << QSizeF(2000, 500) << QSizeF(400, 100);
        QTest::newRow("tall") << QSizeF(500, 2000) << QSizeF(75, 300);
        QTest::newRow("overhangs, not ratios, choose the side") << QSizeF(1000, 800) << QSizeF(400, 320);
        QTest::newRow("equal overhangs fit the height") << QSizeF(500, 400) << QSizeF(375, 300);
        QTest::newRow("undecodable file") << QSizeF(0, 0) << QSizeF(0, 0);
    }
    void shownSizeFollowsTheOverhangRule() {
        QFETCH(QSizeF, image);
        QFETCH(QSizeF, shown);
        const Size result = ViewerController::shownSize(
            {400, 300}, {static_cast<float>(image.width()), static_cast<float>(image.height())});
        QCOMPARE(QSizeF(result.width, result.height), shown);
    }

    void oneControllerServesEveryShowAndADoubleClickNeedsASelection() {
        MainController& c = *_controller;
        c.tableViewDoubleClicked();
        QVERIFY(!c.hasViewerController());
        guitest::controls(c).imagesTableView->selectRow(0);
        c.tableViewDoubleClicked();
        ViewerController* first = &c.viewerController();
        QVERIFY(first->window()->isVisible());
        first->window()->close();
        QVERIFY(!first->window()->isVisible());
        c.showViewer();
        QCOMPARE(&c.viewerController(), first);
        QVERIFY(first->window()->isVisible());
    }

    void theViewerFollowsTheSelectionAndShowsTheShownSize() {
        MainController& c = *_controller;
        guitest::controls(c).imagesTableView->selectRow(0);
        ViewerController& viewer = c.viewerController();
        QSignalSpy shown(&viewer, &ViewerController::imageShown);
        c.showViewer();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.window()));
        QCOMPARE(viewer.window()->windowTitle(), QStringLiteral("large.jpg"));
        QVERIFY(shown.wait(5000));
        QVERIFY(!viewer.imageView->image().isNull());
        QVERIFY(viewer.noImageSelectedTextField->isHidden());
        viewer.window()->resize(500, 420);
        QTRY_COMPARE(viewer.resolutionTextField->text(), expectedLabel(viewer, {1000, 800}));

        // A resize recomputes the label.
        viewer.window()->resize(300, 260);
        QTRY_COMPARE(viewer.resolutionTextField->text(), expectedLabel(viewer, {1000, 800}));
        QVERIFY(viewer.imageView->width() < 1000);

        // Another selection: another image, its own size when it fits. Its
        // size is read off the main thread; until then no size is shown.
        guitest::controls(c).imagesTableView->selectRow(1);
        QCOMPARE(viewer.window()->windowTitle(), QStringLiteral("small.jpg"));
        QVERIFY(viewer.resolutionTextField->text().isEmpty());
        QTRY_COMPARE(viewer.resolutionTextField->text(), QStringLiteral("Current Size: 120 x 90"));
        QTRY_COMPARE(shown.count(), 2);
        QCOMPARE(viewer.imageView->image().size(), QSize(120, 90));

        // No selection: the message shows, the title and the label stay.
        guitest::controls(c).imagesTableView->clearSelection();
        QVERIFY(!viewer.noImageSelectedTextField->isHidden());
        QVERIFY(viewer.imageView->isHidden());
        QCOMPARE(viewer.window()->windowTitle(), QStringLiteral("small.jpg"));
        QCOMPARE(viewer.resolutionTextField->text(), QStringLiteral("Current Size: 120 x 90"));

        // A picture stored 300 x 200 and tagged to turn a quarter clockwise is
        // shown upright, and the label measures it upright.
        const QString turned = _files.filePath(QStringLiteral("turned.jpg"));
        guitest::writeOrientedQuarters(turned, 6, 200, 300);
        guitest::addRecords(c, {QFile::encodeName(turned).toStdString()});
        viewer.window()->resize(600, 600);
        shown.clear();
        guitest::controls(c).imagesTableView->selectRow(2);
        QTRY_COMPARE(viewer.resolutionTextField->text(), QStringLiteral("Current Size: 200 x 300"));
        QTRY_COMPARE(shown.count(), 1);
        QCOMPARE(viewer.imageView->imageSize(), QSizeF(200, 300));
        QVERIFY(guitest::showsUprightQuarters(viewer.imageView->image()));
    }

    // Each tag's file, stored turned or mirrored, is decoded upright, at its
    // own size when it fits the screen and fitted when it does not.
    void everyOrientationIsDecodedUpright() {
        for (int tag = 1; tag <= 8; ++tag) {
            const QString path = _files.filePath(QStringLiteral("quarters-%1.jpg").arg(tag));
            guitest::writeOrientedQuarters(path, tag, 40, 60);
            PelloraImage record(QFile::encodeName(path).toStdString());
            for (const auto& [screen, expected] : {std::pair(QSize(1920, 1080), QSize(40, 60)),
                                                   std::pair(QSize(30, 30), QSize(20, 30))}) {
                const QImage image = decodeImageForScreen(record, screen);
                QVERIFY2(image.size() == expected, qPrintable(QStringLiteral("tag %1").arg(tag)));
                QVERIFY2(guitest::showsUprightQuarters(image), qPrintable(QStringLiteral("tag %1").arg(tag)));
            }
        }
    }

    void theFrameIsKeptUnderItsName() {
        MainController& c = *_controller;
        c.showViewer();
        QWidget* window = c.viewerController().window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->setGeometry(60, 70, 420, 380);
        window->close();
        QVERIFY(UserDefaults::standard().objectForKey(QVXDefaultsKey_viewerFrame).type() == PlistValue::Type::Data);
        _controller = std::make_unique<MainController>();
        QCOMPARE(_controller->viewerController().window()->geometry(), QRect(60, 70, 420, 380));
    }

private:
    static QString expectedLabel(const ViewerController& viewer, Size image) {
        const Size bounds{static_cast<float>(viewer.imageView->width()), static_cast<float>(viewer.imageView->height())};
        const Size shown = ViewerController::shownSize(bounds, image);
        char text[64];
        std::snprintf(text, sizeof text, "Current Size: %.f x %.f", static_cast<double>(shown.width),
                      static_cast<double>(shown.height));
        return QString::fromLatin1(text);
    }

    QTemporaryDir _files;
    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(ViewerTest)
#include "ViewerTest.moc"
