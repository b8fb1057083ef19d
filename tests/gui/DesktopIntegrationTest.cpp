// The window's side of the desktop: the Add Recent submenu over the shared
// recent-files list, and the user's toolbar arrangement across launches.

#include "GuiTestSupport.h"
#include "platform/foundation/RecentlyUsedXbel.h"
#include "ui/Identifiers.h"

using namespace pellora;

namespace {

// The submenu's entries as the user sees them when it opens.
QStringList openRecentMenu(MainController& controller) {
    emit controller.addRecentMenu()->aboutToShow();
    QStringList texts;
    for (const QAction* item : controller.addRecentMenu()->actions()) {
        texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    return texts;
}

QAction* menuEntry(MainController& controller, const QString& text) {
    for (QAction* item : controller.addRecentMenu()->actions()) {
        if (item->text() == text) return item;
    }
    return nullptr;
}

} // namespace

class DesktopIntegrationTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        UserDefaults::standard().removeObjectForKey(MainController::toolbarConfigurationKey());
        RecentlyUsedXbel(RecentlyUsedXbel::defaultFilePath(), "Pellora", "'pellora %u'").clear();
    }

    void addRecentListsTheImportedFilesAndOpensThem() {
        QTemporaryDir dir;
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) guitest::writeJpeg(dir.filePath(name), 8, 8);
        guitest::TestController c;
        c.applicationDidFinishLaunching();
        QCOMPARE(openRecentMenu(c), QStringList{"Clear Menu"});
        QVERIFY(!menuEntry(c, QStringLiteral("Clear Menu"))->isEnabled());

        c.openFiles({dir.filePath("a.jpg").toStdString(), dir.filePath("b.jpg").toStdString()});
        QVERIFY(guitest::waitUntilIdle(c));
        QVERIFY(c.openFile(dir.filePath("c.jpg").toStdString()));
        QVERIFY(!c.openFile(dir.filePath("notes.txt").toStdString()));
        QVERIFY(guitest::waitUntilIdle(c));
        QCOMPARE(openRecentMenu(c), (QStringList{"c.jpg", "b.jpg", "a.jpg", "-", "Clear Menu"}));

        // Choosing an entry imports that file again.
        c.clearToolbarItemClicked();
        menuEntry(c, QStringLiteral("b.jpg"))->trigger();
        QVERIFY(guitest::waitUntilIdle(c));
        QCOMPARE(c.numberOfRowsInTableView(), 1);
        QCOMPARE(c.batch().pelloraImages().objectAtIndex(0)->inputPath(), dir.filePath("b.jpg").toStdString());

        // Unavailable while a job runs.
        for (const bool exporting : {true, false}) {
            c.batch().setIsExporting(exporting);
            c.validateVisibleItems();
            QCOMPARE(guitest::controls(c).addRecentMenuItem->isEnabled(), !exporting);
        }

        menuEntry(c, QStringLiteral("Clear Menu"))->trigger();
        QCOMPARE(openRecentMenu(c), QStringList{"Clear Menu"});

        // The list is read as the menu opens, and shows the newest twenty.
        std::vector<std::string> paths;
        for (int i = 0; i < 25; ++i) paths.push_back("/photos/" + std::to_string(i) + ".png");
        QVERIFY(RecentlyUsedXbel(RecentlyUsedXbel::defaultFilePath(), "Pellora", "'pellora %u'").addFiles(paths, 500));
        QStringList newestTwenty;
        for (int i = 24; i >= 5; --i) newestTwenty << QStringLiteral("%1.png").arg(i);
        QCOMPARE(openRecentMenu(c), newestTwenty << "-" << "Clear Menu");
    }

    void toolbarArrangementSurvivesARelaunch() {
        const std::vector<std::string> arrangement = {QVXToolbarItemIdentifier_view, ToolbarSpaceItemIdentifier,
                                                      QVXToolbarItemIdentifier_add, ToolbarSeparatorItemIdentifier,
                                                      ToolbarCustomizeItemIdentifier};
        {
            MainController c;
            QCOMPARE(c.toolbarItemIdentifiers(), MainController::toolbarDefaultItemIdentifiers());
            // The toolbar's context menu leads to the dialog.
            QTimer::singleShot(0, [] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                QVERIFY(menu != nullptr);
                QCOMPARE(menu->actions().front()->text(), QStringLiteral("Customize Toolbar…"));
                menu->actions().front()->trigger();
                menu->close();
            });
            emit c.toolbar()->customContextMenuRequested(QPoint(4, 4));
            ToolbarCustomizationDialog* palette = c.toolbarCustomizationPalette();
            QVERIFY(palette != nullptr);
            palette->setItemIdentifiers({QVXToolbarItemIdentifier_view, ToolbarSpaceItemIdentifier});
            // Add goes in once only; an unknown identifier not at all.
            for (const char* item : {QVXToolbarItemIdentifier_add, QVXToolbarItemIdentifier_add,
                                     ToolbarSeparatorItemIdentifier, ToolbarCustomizeItemIdentifier, "Bogus"}) {
                palette->addItem(item);
            }
            palette->accept();
            QCOMPARE(c.toolbarItemIdentifiers(), arrangement);
        }
        // The arrangement is on disk, and the next window starts with it.
        QVERIFY(UserDefaults::standard().synchronize());
        UserDefaults stored(UserDefaults::standardFilePath());
        QCOMPARE(stored.objectForKey(MainController::toolbarConfigurationKey()).arrayValue().size(), arrangement.size());
        MainController relaunched;
        QCOMPARE(relaunched.toolbarItemIdentifiers(), arrangement);
    }

    void unusableSavedArrangementsFallBack() {
        PlistArray saved{PlistValue(std::string("Clear")), PlistValue(std::string("Bogus")), PlistValue(3)};
        UserDefaults::standard().setObject(PlistValue(saved), MainController::toolbarConfigurationKey());
        {
            MainController c;
            QCOMPARE(c.toolbarItemIdentifiers(), std::vector<std::string>{QVXToolbarItemIdentifier_clear});
        }
        UserDefaults::standard().setObject(PlistValue(std::string("Add")), MainController::toolbarConfigurationKey());
        MainController c;
        QCOMPARE(c.toolbarItemIdentifiers(), MainController::toolbarDefaultItemIdentifiers());
    }
};

PELLORA_GUI_TEST_MAIN(DesktopIntegrationTest)
#include "DesktopIntegrationTest.moc"
