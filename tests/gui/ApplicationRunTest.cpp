// How a run starts and ends. The real program started as the desktop starts
// it: files given as arguments, a second launch handing its files to the
// first, two launches at once (what each instance imported is read from the
// recent-files list it writes in the test's own data folder). The close box,
// Close and Quit end the run from an idle window and only beep during a job;
// the application's own quit then goes through; a termination signal reaches
// the event loop (what it does to a running export: ExportTest).
#include <QLocalSocket>
#include <algorithm>
#include <csignal>
#include <functional>
#include <sys/types.h>
#include <unistd.h>

#include "GuiTestSupport.h"
#include "app/TerminationSignals.h"
#include "platform/foundation/RecentlyUsedXbel.h"

using namespace pellora;

namespace {

using CloseWay = std::function<void(MainController&)>;

} // namespace

Q_DECLARE_METATYPE(CloseWay)

class ApplicationRunTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(QDir(_home.path()).mkpath(QStringLiteral("run")));
        QVERIFY(QFile::setPermissions(_home.filePath(QStringLiteral("run")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}) {
            guitest::writeJpeg(_home.filePath(QString::fromLatin1(name)), 8, 8);
        }
    }

    void init() {
        QVERIFY(guitest::launch(_controller, true));
    }
    void cleanup() {
        _controller->batch().setIsExporting(false);
        _controller.reset();
        for (QProcess* process : _launched) {
            if (running(process)) {
                process->kill();
                process->waitForFinished(5000);
            }
            delete process;
        }
        _launched.clear();
    }

    void argumentsAreImportedLaterLaunchesHandTheirsOverAndMalformedRequestsAreRefused() {
        // Relative arguments are taken from the launch's working folder.
        QProcess* first = startProgram({QStringLiteral("a.jpg"), _home.filePath(QStringLiteral("b.jpg"))});
        QVERIFY(waitUntilNoted({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));

        // A length far beyond any launch's files: the instance hangs up without reading on.
        QLocalSocket socket;
        socket.connectToServer(_home.filePath(QStringLiteral("run/pellora-%1.socket").arg(::getuid())));
        QVERIFY(socket.waitForConnected(5000));
        socket.write(QByteArray("\xFF\xFF\xFF\xFF/x.jpg", 10));
        socket.flush();
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QLocalSocket::UnconnectedState, 10000);
        QCOMPARE(socket.bytesAvailable(), 0);

        // And serves on.
        QProcess* second = startProgram({QStringLiteral("c.jpg")});
        QVERIFY(second->waitForFinished(30000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(waitUntilNoted({QStringLiteral("c.jpg")}));
        QVERIFY(running(first));
    }

    void twoLaunchesAtOnceLeaveOneInstance() {
        // A killed instance leaves its socket file behind; nobody answers on it.
        QFile::remove(_home.filePath(QStringLiteral("data/recently-used.xbel")));
        QProcess* crashed = startProgram({QStringLiteral("a.jpg")});
        QVERIFY(waitUntilNoted({QStringLiteral("a.jpg")}));
        QVERIFY(QFile::exists(_home.filePath(QStringLiteral("run/pellora-%1.socket").arg(::getuid()))));
        ::kill(static_cast<pid_t>(crashed->processId()), SIGKILL);
        QVERIFY(crashed->waitForFinished(5000));

        QProcess* one = startProgram({QStringLiteral("d.jpg")});
        QProcess* other = startProgram({QStringLiteral("e.jpg")});
        QVERIFY(waitUntilNoted({QStringLiteral("d.jpg"), QStringLiteral("e.jpg")}));
        // The one that handed its files over has ended with success; the other runs on.
        QTRY_VERIFY_WITH_TIMEOUT(running(one) != running(other), 30000);
        QProcess* forwarded = running(one) ? other : one;
        QCOMPARE(forwarded->exitStatus(), QProcess::NormalExit);
        QCOMPARE(forwarded->exitCode(), 0);
        QTest::qWait(500);
        QVERIFY(running(one) != running(other));
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
    void helpAndVersionPrintAndEndWithoutADisplay() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
        for (const auto& [option, printed] : {std::pair{"--help", "Usage: pellora [FILE|FOLDER]...\n"},
                                              {"-h", "Usage: pellora [FILE|FOLDER]...\n"},
                                              {"--version", "Pellora " PELLORA_VERSION "\n"}}) {
            QProcess program;
            program.setProcessEnvironment(environment);
            program.start(QStringLiteral(PELLORA_BIN_DIR "/pellora"), {QString::fromLatin1(option)});
            QVERIFY(program.waitForFinished(30000));
            QCOMPARE(program.exitStatus(), QProcess::NormalExit);
            QCOMPARE(program.exitCode(), 0);
            QVERIFY2(program.readAllStandardOutput().startsWith(printed), option);
        }
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
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), _home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), _home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), _home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), _home.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    QProcess* startProgram(const QStringList& arguments) {
        auto* process = new QProcess(this);
        process->setProcessEnvironment(environment());
        process->setWorkingDirectory(_home.path());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(PELLORA_BIN_DIR "/pellora"), arguments);
        _launched.push_back(process);
        return process;
    }

    std::vector<std::string> noted() const {
        return RecentlyUsedXbel(_home.filePath(QStringLiteral("data/recently-used.xbel")).toStdString(),
                                         "Pellora", "'pellora %u'")
            .recentFilePaths(100);
    }

    // Waits until the running instance has noted every one of the files.
    bool waitUntilNoted(const QStringList& names) const {
        return QTest::qWaitFor([&] {
            const std::vector<std::string> paths = noted();
            return std::all_of(names.begin(), names.end(), [&](const QString& name) {
                return std::find(paths.begin(), paths.end(), _home.filePath(name).toStdString()) != paths.end();
            });
        }, 30000);
    }

    static bool running(QProcess* process) { return process->state() != QProcess::NotRunning; }

    QTemporaryDir _home;
    std::vector<QProcess*> _launched;
    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(ApplicationRunTest)
#include "ApplicationRunTest.moc"
