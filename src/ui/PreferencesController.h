#pragma once

#include <QFileDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "update/QVXUpdate.h"

class QAction;
class QCheckBox;
class QLabel;
class QMainWindow;
class QStackedWidget;
class QToolBar;
namespace Ui {
class Preferences;
}

namespace pellora {

// The preferences window: a General pane with the export options (most
// controls bound to their settings) and an Update pane with the check at
// launch, a check-now button and the date of the last check, switched by a
// toolbar of two items. Made once per run by the main controller; everything
// here runs on the main thread.
class PreferencesController : public QObject {
    Q_OBJECT

public:
    // Loads the window "Preferences" at once; the check-now button runs its
    // checks in updateEnvironment, whose objects must outlive this controller.
    explicit PreferencesController(const QVXUpdateEnvironment& updateEnvironment);
    ~PreferencesController() override;

    QMainWindow* window() const { return _window.get(); }
    QToolBar* toolbar() const { return _toolbar; }
    // The folder sheet while it is open (tests drive it).
    QFileDialog* openSheet() const { return _openSheet; }

    // Shows the window in front, centred on its screen each time.
    void showWindow();

    // --- Toolbar ---
    // The items, in order; each one is also the identifier of its pane.
    static std::vector<std::string> toolbarDefaultItemIdentifiers();
    // A new item for "General" or "Update"; null for any other identifier.
    QAction* itemForItemIdentifier(const std::string& identifier);
    void activateGeneralPane();
    void activateUpdatePane();

    // --- General pane ---
    // Tells the main window that the export destination changed.
    void exportLocationPrefChanged();
    void chooseStaticLocationButtonClicked();
    void chooseStaticLocationPanelDidEnd(QFileDialog& panel, int returnCode);

    // --- Update pane ---
    void QVXUpdate_checkAtLaunchCheckboxClicked();
    // A check the user asked for; the pane then shows its date.
    void QVXUpdate_checkNowButton();
    void QVXUpdate_updateInterface();
    void QVXUpdate_updateLastCheckedTextField();
    // The label's text for the value stored under "QVXUpdate: Last checked",
    // in the local time zone; the never-checked text when it holds no date.
    static QString lastCheckedText(const PlistValue& lastChecked);

    // Widgets from the layout.
    QStackedWidget* tabView = nullptr;
    QCheckBox* QVXUpdate_checkAtLaunchCheckbox = nullptr;
    QLabel* QVXUpdate_lastCheckedTextField = nullptr;

private:
    void bindSettings();
    void connectActions();
    void finishSetup();
    void QVXUpdate_installDefaultsUpdatedNotification();
    void setupToolbar();
    void selectPane(const std::string& identifier);

    const QVXUpdateEnvironment _updateEnvironment;
    std::unique_ptr<QMainWindow> _window;
    std::unique_ptr<Ui::Preferences> _ui;
    QToolBar* _toolbar = nullptr;
    QPointer<QFileDialog> _openSheet;
    NotificationCenter::Token _defaultsObserver = 0;
};

} // namespace pellora
