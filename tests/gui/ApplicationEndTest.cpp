// How the run ends: the close box, Close and Quit end it from an idle window
// and only beep during a job; the application's own quit then goes through;
// a termination signal reaches the event loop (what it does to a running
// export: EndToEndTest).
#include <QAction>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <csignal>
#include <functional>

#include "GuiTestSupport.h"
#include "app/MainController.h"
#include "app/MainWindow.h"
#include "app/TerminationSignals.h"

using namespace pellora;

namespace {

using CloseWay = std::function<void(MainController&)>;

} // namespace

Q_DECLARE_METATYPE(CloseWay)

class ApplicationEndTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(guitest::launch(_controller, true));
    }
    void cleanup() {
        _controller->batch().setIsExporting(false);
        _controller.reset();
    }

    void eachWayOfClosing_data() {
        QTest::addColumn<CloseWay>("close");
        // The Close item is disabled during a job, so it does not even beep.
        QTest::addColumn<int>("beepsWhileBusy");
        QTest::newRow("close box") << CloseWay([](MainController& c) { c.window()->close(); }) << 1;
        QTest::newRow("Close") << CloseWay([](MainController& c) { c.window()->closeMenuItem->trigger(); }) << 0;
        QTest::newRow("Quit") << CloseWay([](MainController& c) { guitest::controls(c).quitMenuItem->trigger(); }) << 1;
    }
    void eachWayOfClosing() {
        QFETCH(CloseWay, close);
        QFETCH(int, beepsWhileBusy);
        MainController& c = *_controller;
        QSignalSpy refused(c.window(), &MainWindow::closeRefusedWhileBusy);
        QSignalSpy terminate(c.window(), &MainWindow::terminateRequested);

        c.batch().setIsExporting(true);
        c.updateInterface();
        close(c);
        QCOMPARE(refused.count(), beepsWhileBusy);
        QCOMPARE(terminate.count(), 0);
        QVERIFY(c.window()->isVisible());

        c.batch().setIsExporting(false);
        c.updateInterface();
        close(c);
        QCOMPARE(terminate.count(), 1);
        QCOMPARE(refused.count(), beepsWhileBusy);
        QVERIFY(!c.window()->isVisible());
    }

    // Answered before the application object exists: no display, no running instance needed.
    void helpAndVersionPrintAndEndWithoutADisplay_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("printed");
        QTest::newRow("--help") << QStringLiteral("--help") << QStringLiteral("Usage: pellora [FILE|FOLDER]...\n");
        QTest::newRow("-h") << QStringLiteral("-h") << QStringLiteral("Usage: pellora [FILE|FOLDER]...\n");
        QTest::newRow("--version") << QStringLiteral("--version") << QStringLiteral("Pellora " PELLORA_VERSION "\n");
    }
    void helpAndVersionPrintAndEndWithoutADisplay() {
        QFETCH(QString, option);
        QFETCH(QString, printed);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(PELLORA_BIN_DIR "/pellora"), {option});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(QString::fromUtf8(program.readAllStandardOutput()).startsWith(printed), qPrintable(option));
    }

    void aTerminationSignalArrivesOnTheEventLoop() {
        TerminationSignals signals_;
        QVERIFY(signals_.isInstalled());
        QSignalSpy received(&signals_, &TerminationSignals::received);
        for (const int signal : {SIGTERM, SIGINT}) {
            QVERIFY(::raise(signal) == 0);
            QVERIFY(received.wait(5000));
        }
        QCOMPARE(received.count(), 2);
    }

    // The application's quit (the Quit event: QCoreApplication::quit() sends
    // it only from exec()) closes every visible window before it ends the
    // event loops; a window that refused there, asking for another quit, would
    // keep the loop spinning instead of ending it. Last: once the application
    // has exited, no later event loop of this process runs.
    void quitEndsTheEventLoop() {
        MainController& c = *_controller;
        c.showViewer();
        QEventLoop loop;
        connect(c.window(), &MainWindow::terminateRequested, &loop, [] {
            QEvent quit(QEvent::Quit);
            QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
        }, Qt::QueuedConnection);
        QTimer::singleShot(0, guitest::controls(c).quitMenuItem, &QAction::trigger);
        QTimer::singleShot(10000, &loop, [&loop] { loop.exit(1); });
        QCOMPARE(loop.exec(), 0);
        QVERIFY(!c.window()->isVisible());
        QVERIFY(!c.viewerController().window()->isVisible());
    }

private:
    QTemporaryDir _files;
    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(ApplicationEndTest)
#include "ApplicationEndTest.moc"
