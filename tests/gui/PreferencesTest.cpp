// The preferences window: its panes and toolbar, the bound export options, the
// folder chooser, the notice to the main window, and the Update pane's label.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <ctime>

#include "GuiTestSupport.h"
#include "app/MainController.h"
#include "app/MainWindow.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/PlistXml.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "ui/PreferencesController.h"
#include "update/PelloraUpdateCheck.h"

using namespace pellora;

namespace {

UserDefaults& defaults() { return UserDefaults::standard(); }

QString localMinute(std::time_t seconds) {
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::strftime(text, sizeof text, "Last checked: %Y-%m-%d %H:%M", &local);
    return QString::fromLatin1(text);
}

} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv(PelloraUpdateURLVariable, _server.url("/db.xml").c_str());
    }

    void init() {
        defaults().setObject(PlistValue(false), QVXUpdateDefaultsKey_checkAtlaunch);
        QVERIFY(guitest::launch(_controller, true));
        QVERIFY(!_controller->hasPreferencesController());
        guitest::controls(*_controller).preferencesMenuItem->trigger();
        QVERIFY(_controller->hasPreferencesController());
        QVERIFY(QTest::qWaitForWindowExposed(preferences().window()));
    }

    void cleanup() {
        _controller.reset();
        for (const char* key : {QVXDefaultsKey_exportDestination, QVXDefaultsKey_exportStaticLocation,
                                QVXDefaultsKey_hardRotate, QVXDefaultsKey_preserveMetadata,
                                QVXDefaultsKey_overriteExistingFilesOnExport, QVXUpdateDefaultsKey_checkAtlaunch,
                                QVXUpdateDefaultsKey_lastChecked}) {
            defaults().removeObjectForKey(key);
        }
    }

    void thePreferencesAreOneWindowCentredEachTimeItIsShown() {
        PreferencesController* first = &preferences();
        QMainWindow* window = first->window();
        QCOMPARE(guitest::controls(*_controller).preferencesMenuItem->shortcut(),
                 QKeySequence(QStringLiteral("Ctrl+,")));
        const QPoint centre = window->screen()->availableGeometry().center();
        QVERIFY((window->frameGeometry().center() - centre).manhattanLength() <= 2);

        window->move(centre / 4);
        window->hide();
        _controller->showPreferences();
        QCOMPARE(&preferences(), first);
        QVERIFY(window->isVisible());
        QVERIFY((window->frameGeometry().center() - centre).manhattanLength() <= 2);
    }

    void theToolbarItemsSwitchBetweenTheTwoPanes() {
        PreferencesController& p = preferences();
        QCOMPARE(p.toolbar()->objectName(), QStringLiteral("Preferences"));
        const QList<QAction*> items = p.toolbar()->actions();
        QStringList titles;
        for (const QAction* item : items) titles << item->text();
        QCOMPARE(titles, (QStringList{"General", "Update"}));
        QVERIFY(!items[0]->icon().isNull() && !items[1]->icon().isNull());
        QVERIFY(p.itemForItemIdentifier("Advanced") == nullptr);
        QCOMPARE(p.tabView->currentWidget()->objectName(), QStringLiteral("General"));
        QVERIFY(items[0]->isChecked());

        for (const int index : {1, 0, 1}) {
            QTest::mouseClick(p.toolbar()->widgetForAction(items[index]), Qt::LeftButton);
            QCOMPARE(p.tabView->currentWidget()->objectName(), items[index]->text());
            QVERIFY(items[index]->isChecked());
            QVERIFY(!items[1 - index]->isChecked());
            QVERIFY(items[0]->isEnabled() && items[1]->isEnabled());
        }
    }

    void theGeneralChecksWriteTheirSettingsAndFollowThem() {
        const QVector<QPair<const char*, const char*>> checks = {
            {"hardRotateCheckbox", QVXDefaultsKey_hardRotate},
            {"preserveMetadataCheckbox", QVXDefaultsKey_preserveMetadata},
            {"overriteExistingFilesCheckbox", QVXDefaultsKey_overriteExistingFilesOnExport}};
        for (const auto& [name, key] : checks) {
            auto* check = preferences().window()->findChild<QCheckBox*>(QString::fromLatin1(name));
            QVERIFY2(check != nullptr, name);
            QCOMPARE(check->isChecked(), defaults().boolForKey(key));
            const bool before = check->isChecked();
            QTest::mouseClick(check, Qt::LeftButton);
            QCOMPARE(defaults().objectForKey(key), PlistValue(!before));
            // A change made elsewhere reaches the box on the main thread.
            defaults().setObject(PlistValue(before), key);
            QTRY_COMPARE(check->isChecked(), before);
        }
    }

    void changingTheDestinationRetitlesTheMainWindowsExportButtonAtOnce() {
        auto* popUp = preferences().window()->findChild<QComboBox*>(QStringLiteral("exportDestinationPopUpButton"));
        QVERIFY(popUp != nullptr);
        QCOMPARE(popUp->currentIndex(), 0);
        const guitest::MainWindowControls w = guitest::controls(*_controller);
        QCOMPARE(w.exportButton->text(), QStringLiteral("Export..."));

        for (const auto& [index, title] : {std::pair{1, "Export"}, {0, "Export..."}}) {
            popUp->setCurrentIndex(index);
            QCOMPARE(defaults().integerForKey(QVXDefaultsKey_exportDestination), index);
            QCOMPARE(w.exportButton->text(), QString::fromLatin1(title));
            // The menu item shows the same title, with its mnemonic.
            QCOMPARE(w.exportMenuItem->text().remove(QLatin1Char('&')), QString::fromLatin1(title));
        }

        // Any value but 0 means the fixed folder, and showing it rewrites nothing.
        defaults().setObject(PlistValue(7), QVXDefaultsKey_exportDestination);
        QTRY_COMPARE(popUp->currentIndex(), 1);
        QCOMPARE(defaults().integerForKey(QVXDefaultsKey_exportDestination), 7);
    }

    void theFolderChooserStoresTheChosenFolder() {
        const QString folder = _files.filePath(QStringLiteral("exports here"));
        QVERIFY(QDir().mkpath(folder));
        const PlistValue before = defaults().objectForKey(QVXDefaultsKey_exportStaticLocation);
        auto* field = preferences().window()->findChild<QLineEdit*>(QStringLiteral("staticLocationTextField"));
        auto* choose = preferences().window()->findChild<QPushButton*>(QStringLiteral("chooseStaticLocationButton"));
        QVERIFY(field != nullptr && choose != nullptr);
        QCOMPARE(field->text(), QString::fromStdString(before.stringValue()));

        QTest::mouseClick(choose, Qt::LeftButton);
        QFileDialog* sheet = preferences().openSheet();
        QVERIFY(sheet != nullptr);
        QCOMPARE(sheet->parentWidget(), preferences().window());
        // A window-modal folder chooser, its button and message.
        QCOMPARE(std::tuple(sheet->windowModality(), sheet->fileMode(), sheet->testOption(QFileDialog::ShowDirsOnly),
                            sheet->labelText(QFileDialog::Accept),
                            sheet->findChild<QLabel*>(QStringLiteral("sheetMessage"))->text()),
                 std::tuple(Qt::WindowModal, QFileDialog::Directory, true, QStringLiteral("Choose"),
                            QStringLiteral("Choose a location to export files to.")));
        sheet->setDirectory(folder);
        sheet->reject();
        QTRY_VERIFY(preferences().openSheet() == nullptr);
        QCOMPARE(defaults().objectForKey(QVXDefaultsKey_exportStaticLocation), before);

        QTest::mouseClick(choose, Qt::LeftButton);
        sheet = preferences().openSheet();
        QVERIFY(sheet != nullptr);
        sheet->setDirectory(folder);
        static_cast<QDialog*>(sheet)->accept();  // as the Choose button does
        QCOMPARE(defaults().stringForKey(QVXDefaultsKey_exportStaticLocation), QFile::encodeName(folder).toStdString());
        QTRY_COMPARE(field->text(), folder);
    }

    void theLabelRendersTheDateInTheLocalTimeZone() {
        QString text;
        {
            test::ScopedVariable zone("TZ", "IST-5:30");  // a POSIX zone five and a half hours ahead of UTC
            tzset();
            const PlistDate date = std::chrono::system_clock::from_time_t(1796567580);  // 2026-12-06 14:33 UTC
            text = PreferencesController::lastCheckedText(PlistValue(date));
        }
        tzset();
        QCOMPARE(text, QStringLiteral("Last checked: 2026-12-06 20:03"));
    }

    void theUpdatePaneShowsTheSwitchAndTheNewDateRightAfterACheckNow() {
        PreferencesController& p = preferences();
        p.activateUpdatePane();
        QCOMPARE(p.QVXUpdate_lastCheckedTextField->text(), QStringLiteral("Never checked for updates"));
        QVERIFY(!p.QVXUpdate_checkAtLaunchCheckbox->isChecked());
        for (const bool checked : {true, false}) {
            QTest::mouseClick(p.QVXUpdate_checkAtLaunchCheckbox, Qt::LeftButton);
            QCOMPARE(defaults().objectForKey(QVXUpdateDefaultsKey_checkAtlaunch), PlistValue(checked));
        }
        // Only a date counts as a check.
        QCOMPARE(PreferencesController::lastCheckedText(PlistValue("yesterday")),
                 QStringLiteral("Never checked for updates"));

        _server.setResponse("/db.xml", {200, writePlistXml(PlistDictionary{{"Pellora", PlistDictionary{{"Current Version", runningAppVersion()}}}}), {}, {}});
        auto* checkNow = p.window()->findChild<QPushButton*>(QStringLiteral("checkNowButton"));
        QVERIFY(checkNow != nullptr);
        const std::size_t requestsBefore = _server.requestCount();

        const std::time_t start = std::time(nullptr);
        const auto alert = guitest::answerNextAlert(QStringLiteral("OK"));
        QTest::mouseClick(checkNow, Qt::LeftButton);
        const std::time_t end = std::time(nullptr);

        // The check asked by the user reports that Pellora is up to date, then the pane shows the date.
        QVERIFY(alert->answered);
        QCOMPARE(alert->text, QStringLiteral("Pellora is up to date"));
        QCOMPARE(_server.requestCount(), requestsBefore + 1);
        const QString label = p.QVXUpdate_lastCheckedTextField->text();
        QVERIFY2(label == localMinute(start) || label == localMinute(end), qPrintable(label));
    }

private:
    PreferencesController& preferences() { return _controller->preferencesController(); }

    QTemporaryDir _files;
    test::TestHttpServer _server;
    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
