// The main window's state through idle, importing and exporting; slider
// labels, presets, settings bindings, the toolbar and the window frame; the
// window used from the keyboard: Delete and Backspace remove rows, Escape and
// Ctrl+W close the viewer and the preferences, Tab leaves the table, Quit
// answers in every window, and every menu command has a mnemonic.
#include <functional>

#include "GuiTestSupport.h"
#include "ui/Identifiers.h"
#include "ui/PreferencesController.h"
#include "ui/ToolbarIcons.h"
#include "ui/ViewerController.h"

using namespace pellora;

namespace {

QAction* toolbarItem(MainController& controller, const char* identifier) {
    for (QAction* item : controller.toolbarItems()) {
        if (item->objectName() == QLatin1String(identifier)) return item;
    }
    return nullptr;
}

void addRecords(MainController& controller, int count) {
    std::vector<std::string> paths;
    for (int index = 0; index < count; ++index) paths.push_back("/nonexistent/image" + std::to_string(index) + ".jpg");
    guitest::addRecords(controller, paths);
}

UserDefaults& defaults() { return UserDefaults::standard(); }

// Types into an editable combo box as the user does, then presses endKey.
void typeInto(QComboBox* box, const QString& text, Qt::Key endKey) {
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), text);
    QTest::keyClick(box->lineEdit(), endKey);
}

// The three settings that the sliders show as percentages.
constexpr const char* kFractionKeys[] = {QVXDefaultsKey_scalingPercentage, QVXDefaultsKey_JPEGExportQuality,
                                         QVXDefaultsKey_JPEG2000ExportQuality};

// What the user sees of the window's commands, in one line: the export
// button's and menu item's titles (without the item's mnemonic), then each command marked + when enabled,
// then the count label or the progress bar, whichever shows.
QString commandsOf(MainController& c) {
    const guitest::MainWindowControls w = guitest::controls(c);
    const auto mark = [](const QString& name, bool enabled) { return name + (enabled ? "+" : "-"); };
    QStringList parts{mark(w.exportButton->text(), w.exportButton->isEnabled()),
                      mark(w.exportMenuItem->text().remove(QLatin1Char('&')), w.exportMenuItem->isEnabled())};
    for (const char* item : {QVXToolbarItemIdentifier_add, QVXToolbarItemIdentifier_remove,
                             QVXToolbarItemIdentifier_clear, QVXToolbarItemIdentifier_view}) {
        parts << mark(QString::fromLatin1(item), toolbarItem(c, item)->isEnabled());
    }
    parts << mark("addFiles", w.addFilesMenuItem->isEnabled()) << mark("viewSelected", w.viewSelectedMenuItem->isEnabled())
          << mark("close", c.window()->closeMenuItem->isEnabled());
    if (!w.numImagesTextField->isHidden()) parts << w.numImagesTextField->text();
    if (!w.progressBar->isHidden()) parts << QStringLiteral("progress %1/%2").arg(w.progressBar->value()).arg(w.progressBar->maximum());
    return parts.join(' ');
}

} // namespace

class WindowStateTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        defaults().removeObjectForKey(QVXDefaultsKey_exportDestination);
        QVERIFY(guitest::launch(_controller, false));
    }
    void cleanup() {
        for (const char* key : kFractionKeys) defaults().removeObjectForKey(key);
        _controller->batch().setIsImporting(false);
        _controller->batch().setIsExporting(false);
        _controller.reset();
    }

    void idleStatesFollowTheListAndTheSelection() {
        MainController& c = *_controller;
        QCOMPARE(c.window()->windowTitle(), QStringLiteral("Pellora"));
        QCOMPARE(commandsOf(c), "Export...- Export...- Add+ Remove- Clear- View- addFiles+ viewSelected- close+ 0 images");
        addRecords(c, 3);
        // Only a refresh enables the button; menu items are checked as they show.
        QCOMPARE(commandsOf(c), "Export...- Export...+ Add+ Remove- Clear+ View- addFiles+ viewSelected- close+ 3 images");
        c.updateInterface();
        QCOMPARE(commandsOf(c), "Export...+ Export...+ Add+ Remove- Clear+ View- addFiles+ viewSelected- close+ 3 images");
        guitest::controls(c).imagesTableView->selectRow(1);
        QCOMPARE(commandsOf(c), "Export...+ Export...+ Add+ Remove+ Clear+ View+ addFiles+ viewSelected+ close+ 3 images");
    }

    void importingDisablesSettingsAndCommandsButKeepsTheTitle() {
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
        addRecords(c, 2);
        w.imagesTableView->selectRow(0);
        c.updateInterface();
        c.batch().setIsImporting(true);
        c.disableExportButton();
        c.updateInterface();
        c.readyProgressBarWithMax(5);
        QCOMPARE(commandsOf(c), "Export...- Export...- Add- Remove- Clear- View- addFiles- viewSelected+ close- progress 0/5");
        for (QWidget* control : std::initializer_list<QWidget*>{
                 w.imagesTableView, w.imageTableVerticalScroller, w.scalingPopUpButton, w.maxSideComboBox,
                 w.maxWidthComboBox, w.maxHeightComboBox, w.formatPopUpButton, w.jpegQualitySlider,
                 w.jpeg2000QualitySlider}) {
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        }
        QVERIFY(w.scalePercentageSlider->isEnabled());
    }

    void exportingShowsStopWhileRecordsRemain() {
        MainController& c = *_controller;
        addRecords(c, 3);
        c.updateInterface();
        c.batch().setIsExporting(true);
        c.updateInterface();
        c.readyProgressBarWithMax(3);
        // The count label tells the record in hand beside the bar.
        QCOMPARE(commandsOf(c), "Stop+ Stop+ Add- Remove- Clear- View- addFiles- viewSelected- close- Exporting 1 of 3 progress 0/3");
        c.batch().pelloraImages().removeObject(c.batch().pelloraImages().snapshot().front());
        c.setProgressValue(1);
        QCOMPARE(commandsOf(c), "Stop+ Stop+ Add- Remove- Clear- View- addFiles- viewSelected- close- Exporting 2 of 3 progress 1/3");
        // The last record written: the Stop item goes, the button stays until the final refresh.
        c.batch().pelloraImages().removeAllObjects();
        c.setProgressValue(3);
        QCOMPARE(commandsOf(c), "Stop+ Stop- Add- Remove- Clear- View- addFiles- viewSelected- close- Exporting 3 of 3 progress 3/3");
        c.batch().setIsExporting(false);
        c.reloadData();
        c.updateInterface();
        QCOMPARE(commandsOf(c), "Export...- Export...- Add+ Remove- Clear- View- addFiles+ viewSelected- close+ 0 images");
    }

    void aCommandDoesNotFireWhenTheFlagsChangedBeforeTheRefresh() {
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
        QVERIFY(w.addFilesMenuItem->isEnabled());
        c.batch().setIsImporting(true);  // no refresh yet: the item still looks enabled
        w.addFilesMenuItem->trigger();
        toolbarItem(c, QVXToolbarItemIdentifier_add)->trigger();
        QVERIFY(c.openSheet() == nullptr);
        c.batch().setIsImporting(false);
        w.addFilesMenuItem->trigger();
        QVERIFY(c.openSheet() != nullptr);
        c.openSheet()->reject();
    }

    void controlsStoreTheirValuesAtOnce() {
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
        const std::vector<std::tuple<std::function<void()>, const char*, PlistValue>> changes{
            {[&] { w.scalePercentageSlider->setValue(125); }, QVXDefaultsKey_scalingPercentage, PlistValue(0.125f)},
            {[&] { w.scalingPopUpButton->setCurrentIndex(2); }, QVXDefaultsKey_scalingMethod, PlistValue(2)},
            {[&] { w.formatPopUpButton->setCurrentIndex(4); }, QVXDefaultsKey_exportFormat, PlistValue(4)},
            {[&] { w.maxWidthComboBox->setCurrentIndex(9); }, QVXDefaultsKey_scalingMaxWidth, PlistValue(1344)},
            {[&] { w.maxSideComboBox->setCurrentIndex(9); }, QVXDefaultsKey_scalingMaxWidthOrHeight, PlistValue(1600)},
            {[&] { typeInto(w.maxHeightComboBox, "abc", Qt::Key_Return); }, QVXDefaultsKey_scalingMaxHeight, PlistValue("abc")},
        };
        for (const auto& [change, key, stored] : changes) {
            change();
            QVERIFY2(defaults().objectForKey(key) == stored, key);
        }
        QCOMPARE(w.scalePercentageTextField->text(), QStringLiteral("12%"));
        QCOMPARE(w.scalingEnclosureTabView->currentIndex(), 2);

        // A new window shows what was stored.
        _controller = std::make_unique<MainController>();
        const guitest::MainWindowControls shown = guitest::controls(*_controller);
        QCOMPARE(shown.scalePercentageSlider->value(), 125);
        QCOMPARE(shown.scalingPopUpButton->currentIndex(), 2);
        QCOMPARE(shown.scalingEnclosureTabView->currentIndex(), 2);
        QCOMPARE(shown.maxWidthComboBox->currentText(), QStringLiteral("1344"));
        QCOMPARE(shown.maxHeightComboBox->currentText(), QStringLiteral("abc"));
        for (const auto& [change, key, stored] : changes) defaults().removeObjectForKey(key);
    }

    // Typing "19" stores 19, not the preset it begins (1920), and only when editing ends.
    void typedSizesAreStoredAsTypedWhenEditingEnds_data() {
        QTest::addColumn<int>("endKey");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Tab") << int(Qt::Key_Tab);
        QTest::newRow("focus leaves") << 0;
    }
    void typedSizesAreStoredAsTypedWhenEditingEnds() {
        QFETCH(int, endKey);
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
        c.window()->show();
        QVERIFY(QTest::qWaitForWindowActive(c.window()));
        for (QComboBox* box : {w.maxWidthComboBox, w.maxHeightComboBox, w.maxSideComboBox}) {
            w.scalingPopUpButton->setCurrentIndex(box == w.maxSideComboBox ? 1 : 0);
            const std::string key = box == w.maxWidthComboBox    ? QVXDefaultsKey_scalingMaxWidth
                                    : box == w.maxHeightComboBox ? QVXDefaultsKey_scalingMaxHeight
                                                                 : QVXDefaultsKey_scalingMaxWidthOrHeight;
            const PlistValue before = defaults().objectForKey(key);
            box->setFocus();
            box->lineEdit()->selectAll();
            QTest::keyClicks(box->lineEdit(), QStringLiteral("19"));
            QCOMPARE(box->currentText(), QStringLiteral("19"));
            QVERIFY2(defaults().objectForKey(key) == before, "stored before editing ended");
            if (endKey != 0) {
                QTest::keyClick(box->lineEdit(), Qt::Key(endKey));
            } else {
                w.scalingPopUpButton->setFocus();
            }
            QVERIFY2(defaults().objectForKey(key) == PlistValue(19), key.c_str());
            QCOMPARE(box->currentText(), QStringLiteral("19"));
            defaults().removeObjectForKey(key);
        }
    }

    // Labels round to whole percents, an exact half to the even neighbour; the
    // percentage starts at 1% and steps by whole percents.
    void slidersShowAndStepByWholePercents() {
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
        for (const auto& [fraction, label] : {std::pair(0.5f, "50%"), {0.125f, "12%"}, {1.0f, "100%"}}) {
            for (const char* key : kFractionKeys) defaults().setObject(PlistValue(fraction), key);
            QTRY_COMPARE(w.scalePercentageTextField->text(), QString::fromLatin1(label));
            QTRY_COMPARE(w.jpegQualityTextField->text(), QString::fromLatin1(label));
            QTRY_COMPARE(w.jpeg2000QualityTextField->text(), QString::fromLatin1(label));
        }
        QSlider* slider = w.scalePercentageSlider;
        defaults().setObject(PlistValue(0.0f), QVXDefaultsKey_scalingPercentage);
        QTRY_COMPARE(w.scalePercentageTextField->text(), QStringLiteral("1%"));
        slider->setValue(500);
        const std::vector<std::pair<Qt::Key, QString>> keys{
            {Qt::Key_Right, "51%"}, {Qt::Key_Left, "50%"}, {Qt::Key_PageUp, "60%"}, {Qt::Key_PageDown, "50%"}};
        for (const auto& [key, label] : keys) {
            QTest::keyClick(slider, key);
            QCOMPARE(w.scalePercentageTextField->text(), label);
        }
        QCOMPARE(defaults().floatForKey(QVXDefaultsKey_scalingPercentage), 0.5f);
        QTest::keyClick(slider, Qt::Key_Home);
        QCOMPARE(defaults().floatForKey(QVXDefaultsKey_scalingPercentage), 0.01f);
        QCOMPARE(w.scalePercentageTextField->text(), QStringLiteral("1%"));
    }

    void presetListsRiseFromSmallestToLargest() {
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
        for (QComboBox* box : {w.maxSideComboBox, w.maxWidthComboBox, w.maxHeightComboBox}) {
            QVERIFY(box->count() > 1);
            for (int index = 1; index < box->count(); ++index) {
                QVERIFY(box->itemText(index - 1).toInt() > 0);
                QVERIFY(box->itemText(index - 1).toInt() < box->itemText(index).toInt());
            }
            QVERIFY(!c.objectValueForItemAtIndex(box, box->count()).has_value());
        }
    }

    void toolbarShowsTheDefaultItemsInOrder() {
        MainController& c = *_controller;
        QCOMPARE(c.toolbar()->objectName(), QString::fromLatin1(QVXToolbarIdentifier_main));
        QStringList shown;
        for (QAction* action : c.toolbar()->actions()) {
            QWidget* widget = c.toolbar()->widgetForAction(action);
            shown << (action->isSeparator()                                     ? QStringLiteral("|")
                      : widget != nullptr && action->objectName().isEmpty() ? widget->objectName()
                                                                              : action->objectName());
        }
        QCOMPARE(shown, (QStringList{"Add", "Remove", "|", "Clear", "FlexibleSpace", "View"}));
        for (QAction* item : c.toolbarItems()) QVERIFY2(!item->toolTip().isEmpty(), qPrintable(item->objectName()));
        QVERIFY(c.itemForItemIdentifier("Customize") == nullptr);
    }

    void toolbarIconsAreDrawnAtEveryScale() {
        for (const char* name : {"addIcon32", "viewIcon32", "removeIcon32", "clearIcon32"}) {
            const QIcon icon = imageNamed(QString::fromLatin1(name));
            QVERIFY(!icon.isNull());
            const QImage single = icon.pixmap(QSize(32, 32), 1.0).toImage();
            const QImage doubled = icon.pixmap(QSize(32, 32), 2.0).toImage();
            QCOMPARE(single.size(), QSize(32, 32));
            QCOMPARE(doubled.size(), QSize(64, 64));
            QCOMPARE(doubled.devicePixelRatio(), 2.0);
            // Drawn, not enlarged: the 2x picture has edges a doubled 1x one cannot have.
            const QImage enlarged = single.scaled(64, 64);
            QVERIFY(doubled.convertToFormat(QImage::Format_ARGB32) != enlarged.convertToFormat(QImage::Format_ARGB32));
            int opaque = 0;
            for (int i = 0; i < 32 * 32; ++i) opaque += qAlpha(single.pixel(i % 32, i / 32)) > 200 ? 1 : 0;
            QVERIFY2(opaque > 150, name);
        }
        QVERIFY(imageNamed(QStringLiteral("missingIcon32")).isNull());
    }

    // Centred at the first launch; Quit saves the frame, the next launch restores it.
    void windowFrameIsCentredFirstAndRestoredLater() {
        _controller.reset();
        defaults().removeObjectForKey(QVXDefaultsKey_mainWindowFrame);
        QVERIFY(guitest::launch(_controller, false));
        QWidget* window = _controller->window();
        const QRect available = window->screen()->availableGeometry();
        QVERIFY(qAbs(window->frameGeometry().center().x() - available.center().x()) <= 1);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->setGeometry(40, 50, 700, 600);
        const QRect moved = window->geometry();
        guitest::controls(*_controller).quitMenuItem->trigger();
        QVERIFY(defaults().objectForKey(QVXDefaultsKey_mainWindowFrame).type() == PlistValue::Type::Data);
        _controller = std::make_unique<MainController>();
        QCOMPARE(_controller->window()->geometry(), moved);
    }

    void deleteAndBackspaceRemoveTheSelectedRows_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Delete") << int(Qt::Key_Delete);
        QTest::newRow("Backspace") << int(Qt::Key_Backspace);
    }
    void deleteAndBackspaceRemoveTheSelectedRows() {
        QFETCH(int, key);
        MainController& c = *_controller;
        QVERIFY(shownAndActive());
        guitest::addRecords(c, {"/nowhere/a.jpg", "/nowhere/b.jpg", "/nowhere/c.jpg", "/nowhere/d.jpg"});
        guitest::controls(c).imagesTableView->setFocus();
        guitest::controls(c).imagesTableView->selectRow(1);
        QTest::keyClick(guitest::controls(c).imagesTableView, Qt::Key(key));
        QCOMPARE(c.numberOfRowsInTableView(), 3);
        QCOMPARE(c.selectedPelloraImage()->inputPath(), std::string("/nowhere/a.jpg"));
        // During a job the table's commands stay off, keys included.
        c.batch().setIsImporting(true);
        QTest::keyClick(guitest::controls(c).imagesTableView, Qt::Key(key));
        QCOMPARE(c.numberOfRowsInTableView(), 3);
        // Typing in a size box edits the text, it removes no row.
        c.batch().setIsImporting(false);
        guitest::controls(c).maxWidthComboBox->setFocus();
        QTest::keyClick(guitest::controls(c).maxWidthComboBox->lineEdit(), Qt::Key(key));
        QCOMPARE(c.numberOfRowsInTableView(), 3);
    }

    void tabLeavesTheTable() {
        MainController& c = *_controller;
        QVERIFY(shownAndActive());
        guitest::addRecords(c, {"/nowhere/a.jpg", "/nowhere/b.jpg"});
        guitest::controls(c).imagesTableView->setFocus();
        guitest::controls(c).imagesTableView->selectRow(0);
        QTest::keyClick(guitest::controls(c).imagesTableView, Qt::Key_Tab);
        QVERIFY(!guitest::controls(c).imagesTableView->hasFocus());
        QCOMPARE(c.selectedPelloraImage()->inputPath(), std::string("/nowhere/a.jpg"));
    }

    // Escape and Ctrl+W close only the window they are typed in; Quit answers there too.
    void secondaryWindowsCloseByKeyAndQuitAnswersThere_data() {
        QTest::addColumn<bool>("preferences");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<bool>("quits");
        QTest::newRow("viewer, Escape") << false << QKeySequence(Qt::Key_Escape) << false;
        QTest::newRow("viewer, Ctrl+W") << false << QKeySequence(Qt::CTRL | Qt::Key_W) << false;
        QTest::newRow("viewer, Ctrl+Q") << false << QKeySequence(Qt::CTRL | Qt::Key_Q) << true;
        QTest::newRow("preferences, Escape") << true << QKeySequence(Qt::Key_Escape) << false;
        QTest::newRow("preferences, Ctrl+W") << true << QKeySequence(Qt::CTRL | Qt::Key_W) << false;
    }
    void secondaryWindowsCloseByKeyAndQuitAnswersThere() {
        QFETCH(bool, preferences);
        QFETCH(QKeySequence, keys);
        QFETCH(bool, quits);
        MainController& c = *_controller;
        QVERIFY(shownAndActive());
        QSignalSpy terminate(c.window(), &MainWindow::terminateRequested);
        preferences ? c.showPreferences() : c.showViewer();
        QWidget* window = preferences ? static_cast<QWidget*>(c.preferencesController().window())
                                      : c.viewerController().window();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keySequence(window, keys);
        QCOMPARE(terminate.count(), quits ? 1 : 0);
        if (quits) return;
        // Only that window: the main window stays and the run goes on.
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(c.window()->isVisible());
        QCOMPARE(terminate.count(), 0);
    }

    void everyMenuAndCommandHasAMnemonic() {
        MainController& c = *_controller;
        c.validateVisibleItems();
        QStringList missing;
        for (QAction* menuAction : c.window()->menuBar()->actions()) {
            if (!menuAction->text().contains(QLatin1Char('&'))) missing << menuAction->text();
            for (QAction* item : menuAction->menu()->actions()) {
                if (!item->isSeparator() && !item->text().contains(QLatin1Char('&'))) missing << item->text();
            }
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    }

private:
    bool shownAndActive() {
        _controller->window()->show();
        return QTest::qWaitForWindowActive(_controller->window());
    }

    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(WindowStateTest)
#include "WindowStateTest.moc"
