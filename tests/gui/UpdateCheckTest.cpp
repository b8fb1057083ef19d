// The update check as the window runs it: at launch on a thread of its own
// (or not at all), with its alerts on the main thread, from the menu, and at quit.
#include <QAction>
#include <QDesktopServices>
#include <QPushButton>
#include <functional>
#include <QUrl>

#include "GuiTestSupport.h"
#include "app/MainController.h"
#include "app/MainWindow.h"
#include "ui/PreferencesController.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/PlistXml.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestHttpServer.h"
#include "ui/QtURLOpener.h"
#include "ui/UpdateCheckService.h"
#include "update/PelloraUpdateCheck.h"

using namespace pellora;

// Takes the place of the desktop's browser: records the addresses it is asked to open.
class BrowserStandIn : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void openUrl(const QUrl& url) { opened << url; }
};

class UpdateCheckTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv(PelloraUpdateURLVariable, _server.url("/db.xml").c_str());
        for (const char* scheme : {"http", "https", "file"}) {
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &_browser, "openUrl");
        }
    }

    void cleanupTestCase() {
        for (const char* scheme : {"http", "https", "file"}) {
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        }
    }

    void cleanup() {
        _controller.reset();
        _browser.opened.clear();
        UserDefaults::standard().removeObjectForKey(QVXUpdateDefaultsKey_checkAtlaunch);
        UserDefaults::standard().removeObjectForKey(QVXUpdateDefaultsKey_lastChecked);
    }

    void anUpdateFoundAtLaunchShowsItsAlertOnTheMainThread() {
        publish("99.0");
        const std::size_t requestsBefore = _server.requestCount();
        const auto alert = guitest::answerNextAlert(QStringLiteral("Don't Ask Again"));
        launch();
        QVERIFY(_controller->updateChecks().launchCheckStarted());
        // The helper finds the box only among the main thread's widgets.
        QTRY_VERIFY_WITH_TIMEOUT(alert->answered, 10000);
        // Its texts are the checker's (tests/update/QVXUpdateTest); here, the automatic check's buttons.
        QCOMPARE(alert->buttons, (QStringList{"Don't Ask Again", "No", "Yes"}));
        QTRY_COMPARE(UserDefaults::standard().objectForKey(QVXUpdateDefaultsKey_checkAtlaunch), PlistValue(false));
        QCOMPARE(_server.requestCount(), requestsBefore + 1);
        QVERIFY(_browser.opened.isEmpty());

        // The next launch makes no check.
        _controller.reset();
        launch();
        QVERIFY(!_controller->updateChecks().launchCheckStarted());
    }

    void theMenuCommandIsACheckTheUserAskedFor() {
        publish("0.1");
        UserDefaults::standard().setObject(PlistValue(false), QVXUpdateDefaultsKey_checkAtlaunch);
        const std::size_t requestsBefore = _server.requestCount();
        launch();
        // With the check at launch off, the launch makes no thread and no
        // request: the menu's check is the only one.
        QVERIFY(!_controller->updateChecks().launchCheckStarted());
        auto alert = guitest::answerNextAlert(QStringLiteral("Yes"));
        guitest::controls(*_controller).checkForUpdatesMenuItem->trigger();
        QVERIFY(alert->answered);
        QCOMPARE(_server.requestCount(), requestsBefore + 1);
        QCOMPARE(alert->buttons, (QStringList{"No", "Yes"}));
        QCOMPARE(_browser.opened, (QList<QUrl>{QUrl(QStringLiteral("https://pellora.example/download"))}));

        // Up to date: the user who asked is told so.
        publish(runningAppVersion());
        alert = guitest::answerNextAlert(QStringLiteral("OK"));
        guitest::controls(*_controller).checkForUpdatesMenuItem->trigger();
        QVERIFY(alert->answered);
        QCOMPARE(alert->text, QStringLiteral("Pellora is up to date"));
        QCOMPARE(UserDefaults::standard().objectForKey(QVXUpdateDefaultsKey_checkAtlaunch), PlistValue(false));
        QVERIFY(UserDefaults::standard().objectForKey(QVXUpdateDefaultsKey_lastChecked).type() ==
                PlistValue::Type::Date);
    }

    // Asked for, from the menu or with Check Now, a failed check says why; at launch it stays silent.
    void aFailedCheckTellsTheUserWhoAskedWhy() {
        _server.setResponse("/db.xml", {404, "<html>Not Found</html>", {}, {}});
        const std::size_t requestsBefore = _server.requestCount();
        launch();
        QTRY_COMPARE(_server.requestCount(), requestsBefore + 1);
        QTest::qWait(200);
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        const std::vector<std::pair<const char*, std::function<void()>>> ways{
            {"menu", [this] { guitest::controls(*_controller).checkForUpdatesMenuItem->trigger(); }},
            {"Check Now", [this] {
                 _controller->showPreferences();
                 auto* checkNow = _controller->preferencesController().window()->findChild<QPushButton*>(
                     QStringLiteral("checkNowButton"));
                 QTest::mouseClick(checkNow, Qt::LeftButton);
             }},
        };
        for (const auto& [way, ask] : ways) {
            const auto alert = guitest::answerNextAlert(QStringLiteral("OK"));
            ask();
            QVERIFY2(alert->answered, way);
            QCOMPARE(alert->text, QStringLiteral("Pellora could not check for updates."));
            QCOMPARE(alert->informativeText, QStringLiteral("The update server answered with status 404."));
        }
        QVERIFY(UserDefaults::standard().objectForKey(QVXUpdateDefaultsKey_lastChecked).isNull());
    }

    void theDesktopIsAskedToOpenWebAddressesOnly() {
        QueueDispatcher mainThread;
        QtURLOpener opener(mainThread);
        QVERIFY(!opener.openURL("file:///etc/passwd"));
        QVERIFY(!opener.openURL("https:///no-host"));
        QCOMPARE(mainThread.drain(), std::size_t{0});
        QVERIFY(_browser.opened.isEmpty());
    }

    void quittingDuringAStalledLaunchCheckDoesNotWaitForItsTimeOut() {
        _server.setResponse("/db.xml", {200, "", {}, test::TestHttpServer::Response::Mode::Stall});
        const std::size_t requestsBefore = _server.requestCount();
        launch();
        QTRY_COMPARE(_server.requestCount(), requestsBefore + 1);
        QElapsedTimer quit;
        quit.start();
        _controller.reset();
        // The stalled fetch would hold the thread for its 30 s time-out.
        QVERIFY2(quit.elapsed() < 10000, qPrintable(QString::number(quit.elapsed())));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(UserDefaults::standard().objectForKey(QVXUpdateDefaultsKey_lastChecked).isNull());
    }

private:
    void launch() { QVERIFY(guitest::launch(_controller, true)); }

    void publish(const std::string& version) {
        PlistDictionary entry{{"Current Version", version}, {"Download URL", "https://pellora.example/download"}};
        _server.setResponse("/db.xml", {200, writePlistXml(PlistDictionary{{"Pellora", entry}}), {}, {}});
    }

    test::TestHttpServer _server;
    BrowserStandIn _browser;
    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(UpdateCheckTest)
#include "UpdateCheckTest.moc"
