// The preferences window: its panes and toolbar, the bound export options, the
// folder chooser and the notice to the main window (its Update pane: UpdateCheckTest).
#include "GuiTestSupport.h"
#include "ui/PreferencesController.h"

using namespace pellora;

namespace {

UserDefaults& defaults() { return UserDefaults::standard(); }

} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

private slots:
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
                                QVXDefaultsKey_overriteExistingFilesOnExport, QVXUpdateDefaultsKey_checkAtlaunch}) {
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

private:
    PreferencesController& preferences() { return _controller->preferencesController(); }

    QTemporaryDir _files;
    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
