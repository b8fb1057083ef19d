// The window used from the keyboard: Delete and Backspace remove rows, Escape
// and Ctrl+W close the viewer and the preferences, Tab leaves the table, Quit
// answers in every window, and every menu command has a mnemonic.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <functional>

#include "GuiTestSupport.h"
#include "app/MainController.h"
#include "app/MainWindow.h"
#include "model/PelloraImage.h"
#include "ui/PreferencesController.h"
#include "ui/ViewerController.h"

using namespace pellora;

namespace {

using WindowOf = std::function<QWidget*(MainController&)>;

} // namespace

Q_DECLARE_METATYPE(WindowOf)

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(guitest::launch(_controller, true));
        QVERIFY(QTest::qWaitForWindowActive(_controller->window()));
    }
    void cleanup() {
        _controller->batch().setIsImporting(false);
        _controller.reset();
    }

    void deleteAndBackspaceRemoveTheSelectedRows_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Delete") << int(Qt::Key_Delete);
        QTest::newRow("Backspace") << int(Qt::Key_Backspace);
    }
    void deleteAndBackspaceRemoveTheSelectedRows() {
        QFETCH(int, key);
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
        guitest::addRecords(c, {"/nowhere/a.jpg", "/nowhere/b.jpg", "/nowhere/c.jpg", "/nowhere/d.jpg"});
        w.imagesTableView->setFocus();
        w.imagesTableView->selectRow(1);
        QTest::keyClick(w.imagesTableView, Qt::Key(key));
        QCOMPARE(c.numberOfRowsInTableView(), 3);
        QCOMPARE(c.selectedPelloraImage()->inputPath(), std::string("/nowhere/a.jpg"));
        // During a job the table's commands stay off, keys included.
        c.batch().setIsImporting(true);
        QTest::keyClick(w.imagesTableView, Qt::Key(key));
        QCOMPARE(c.numberOfRowsInTableView(), 3);
        // Typing in a size box edits the text, it removes no row.
        c.batch().setIsImporting(false);
        w.maxWidthComboBox->setFocus();
        QTest::keyClick(w.maxWidthComboBox->lineEdit(), Qt::Key(key));
        QCOMPARE(c.numberOfRowsInTableView(), 3);
    }

    void tabLeavesTheTable() {
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
        guitest::addRecords(c, {"/nowhere/a.jpg", "/nowhere/b.jpg"});
        w.imagesTableView->setFocus();
        w.imagesTableView->selectRow(0);
        QTest::keyClick(w.imagesTableView, Qt::Key_Tab);
        QVERIFY(!w.imagesTableView->hasFocus());
        QCOMPARE(c.selectedPelloraImage()->inputPath(), std::string("/nowhere/a.jpg"));
    }

    // Escape and Ctrl+W close only the window they are typed in; Quit answers there too.
    void secondaryWindowsCloseByKeyAndQuitAnswersThere_data() {
        QTest::addColumn<WindowOf>("open");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<bool>("quits");
        const WindowOf viewer = [](MainController& c) {
            c.showViewer();
            return c.viewerController().window();
        };
        const WindowOf preferences = [](MainController& c) {
            c.showPreferences();
            return static_cast<QWidget*>(c.preferencesController().window());
        };
        QTest::newRow("viewer, Escape") << viewer << QKeySequence(Qt::Key_Escape) << false;
        QTest::newRow("viewer, Ctrl+W") << viewer << QKeySequence(Qt::CTRL | Qt::Key_W) << false;
        QTest::newRow("viewer, Ctrl+Q") << viewer << QKeySequence(Qt::CTRL | Qt::Key_Q) << true;
        QTest::newRow("preferences, Escape") << preferences << QKeySequence(Qt::Key_Escape) << false;
        QTest::newRow("preferences, Ctrl+W") << preferences << QKeySequence(Qt::CTRL | Qt::Key_W) << false;
    }
    void secondaryWindowsCloseByKeyAndQuitAnswersThere() {
        QFETCH(WindowOf, open);
        QFETCH(QKeySequence, keys);
        QFETCH(bool, quits);
        MainController& c = *_controller;
        QSignalSpy terminate(c.window(), &MainWindow::terminateRequested);
        QWidget* window = open(c);
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
    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(KeyboardTest)
#include "KeyboardTest.moc"
