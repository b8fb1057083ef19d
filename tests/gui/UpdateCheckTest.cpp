// The update check as the window runs it: at launch on a thread of its own
// (or not at all), with its alerts on the main thread, from the menu and the
// preferences' Update pane, and at quit.
#include <functional>
#include <ctime>

#include "GuiTestSupport.h"
#include "ui/PreferencesController.h"
#include "platform/foundation/PlistXml.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "ui/QtURLOpener.h"
#include "ui/UpdateCheckService.h"
#include "update/PelloraUpdateCheck.h"

using namespace pellora;

namespace {

QString localMinute(std::time_t seconds) {
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::strftime(text, sizeof text, "Last checked: %Y-%m-%d %H:%M", &local);
    return QString::fromLatin1(text);
}

} // namespace

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
    // The handlers go with the stand-in.
    void initTestCase() {
        qputenv(PelloraUpdateURLVariable, _server.url("/db.xml").c_str());
        for (const char* scheme : {"http", "https", "file"}) {
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &_browser, "openUrl");
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

    // The menu command and Check Now are checks the user asked for: an update
    // is offered, and being up to date is told; then the Update pane shows the date.
    void theMenuCommandAndCheckNowAreChecksTheUserAskedFor() {
        publish("0.1");
        UserDefaults::standard().setObject(PlistValue(false), QVXUpdateDefaultsKey_checkAtlaunch);
        const std::size_t requestsBefore = _server.requestCount();
        launch();
        // With the check at launch off, the launch makes no thread and no
        // request: the menu's check is the only one.
        QVERIFY(!_controller->updateChecks().launchCheckStarted());
        _controller->showPreferences();
        PreferencesController& p = _controller->preferencesController();
        p.activateUpdatePane();
        QCOMPARE(p.QVXUpdate_lastCheckedTextField->text(), QStringLiteral("Never checked for updates"));
        QVERIFY(!p.QVXUpdate_checkAtLaunchCheckbox->isChecked());
        for (const bool checked : {true, false}) {
            QTest::mouseClick(p.QVXUpdate_checkAtLaunchCheckbox, Qt::LeftButton);
            QCOMPARE(UserDefaults::standard().objectForKey(QVXUpdateDefaultsKey_checkAtlaunch), PlistValue(checked));
        }

        auto alert = guitest::answerNextAlert(QStringLiteral("Yes"));
        guitest::controls(*_controller).checkForUpdatesMenuItem->trigger();
        QVERIFY(alert->answered);
        QCOMPARE(_server.requestCount(), requestsBefore + 1);
        QCOMPARE(alert->buttons, (QStringList{"No", "Yes"}));
        QCOMPARE(_browser.opened, (QList<QUrl>{QUrl(QStringLiteral("https://pellora.example/download"))}));

        publish(runningAppVersion());
        alert = guitest::answerNextAlert(QStringLiteral("OK"));
        const std::time_t start = std::time(nullptr);
        QTest::mouseClick(p.window()->findChild<QPushButton*>(QStringLiteral("checkNowButton")), Qt::LeftButton);
        const std::time_t end = std::time(nullptr);
        QVERIFY(alert->answered);
        QCOMPARE(alert->text, QStringLiteral("Pellora is up to date"));
        QCOMPARE(_server.requestCount(), requestsBefore + 2);
        QCOMPARE(UserDefaults::standard().objectForKey(QVXUpdateDefaultsKey_checkAtlaunch), PlistValue(false));
        QVERIFY(UserDefaults::standard().objectForKey(QVXUpdateDefaultsKey_lastChecked).type() ==
                PlistValue::Type::Date);
        const QString label = p.QVXUpdate_lastCheckedTextField->text();
        QVERIFY2(label == localMinute(start) || label == localMinute(end), qPrintable(label));
    }

    // In the local time zone; only a date counts as a check.
    void theLastCheckedLabelRendersADateInTheLocalTimeZone() {
        QString text;
        {
            test::ScopedVariable zone("TZ", "IST-5:30");  // a POSIX zone five and a half hours ahead of UTC
            tzset();
            const PlistDate date = std::chrono::system_clock::from_time_t(1796567580);  // 2026-12-06 14:33 UTC
            text = PreferencesController::lastCheckedText(PlistValue(date));
        }
        tzset();
        QCOMPARE(text, QStringLiteral("Last checked: 2026-12-06 20:03"));
        QCOMPARE(PreferencesController::lastCheckedText(PlistValue("yesterday")),
                 QStringLiteral("Never checked for updates"));
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
