#include "ui/PreferencesController.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStackedWidget>
#include <QThread>
#include <QToolBar>
#include <ctime>

#include "model/SettingsKeys.h"
#include "platform/foundation/StringTable.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/FolderChooserSheet.h"
#include "ui/Identifiers.h"
#include "ui/SettingsBinding.h"
#include "ui/ToolbarIcons.h"
#include "ui/WindowCloseShortcuts.h"
#include "ui/WindowFrameAutosave.h"
#include "ui_Preferences.h"
#include "update/PelloraUpdateCheck.h"

namespace pellora {

namespace {

constexpr const char* kStringTable = "QVXUpdate";
constexpr const char* kChooseLocationMessage = "Choose a location to export files to.";

UserDefaults& defaults() {
    return UserDefaultsController::sharedUserDefaultsController().defaults();
}

QString text(const char* key) {
    return QString::fromStdString(localizedStringForKey(key, "", kStringTable));
}

// Renders a date in the local time zone with strftime's conversion specifiers.
QString descriptionWithCalendarFormat(PlistDate date, const QString& format) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return format;
    }
    const QByteArray pattern = format.toUtf8();
    // strftime answers 0 both for a buffer too small and for an empty result.
    for (std::size_t size = 256; size <= 16384; size *= 4) {
        std::string buffer(size, '\0');
        const std::size_t length = std::strftime(buffer.data(), buffer.size(), pattern.constData(), &local);
        if (length > 0 || pattern.isEmpty()) {
            return QString::fromUtf8(buffer.data(), static_cast<qsizetype>(length));
        }
    }
    return {};
}

} // namespace

PreferencesController::PreferencesController(const QVXUpdateEnvironment& updateEnvironment)
    : _updateEnvironment(updateEnvironment), _window(std::make_unique<QMainWindow>()),
      _ui(std::make_unique<Ui::Preferences>()) {
    _ui->setupUi(_window.get());
    addWindowCloseShortcuts(_window.get());
    tabView = _ui->tabView;
    QVXUpdate_checkAtLaunchCheckbox = _ui->QVXUpdate_checkAtLaunchCheckbox;
    QVXUpdate_lastCheckedTextField = _ui->QVXUpdate_lastCheckedTextField;
    bindSettings();
    connectActions();
    finishSetup();
    setupToolbar();
}

PreferencesController::~PreferencesController() {
    NotificationCenter::defaultCenter().removeObserver(_defaultsObserver);
}

void PreferencesController::bindSettings() {
    SettingsBinding::bindCheck(_ui->hardRotateCheckbox, QVXDefaultsKey_hardRotate, defaults());
    SettingsBinding::bindCheck(_ui->preserveMetadataCheckbox, QVXDefaultsKey_preserveMetadata, defaults());
    SettingsBinding::bindCheck(_ui->overriteExistingFilesCheckbox, QVXDefaultsKey_overriteExistingFilesOnExport,
                               defaults());
    SettingsBinding::bindZeroOrOther(_ui->exportDestinationPopUpButton, QVXDefaultsKey_exportDestination, defaults());
    SettingsBinding::bindPath(_ui->staticLocationTextField, QVXDefaultsKey_exportStaticLocation, defaults());
}

void PreferencesController::connectActions() {
    // Connected after the binding, so the new choice is stored before the main window asks for it.
    connect(_ui->exportDestinationPopUpButton, &QComboBox::currentIndexChanged, this,
            &PreferencesController::exportLocationPrefChanged);
    connect(_ui->chooseStaticLocationButton, &QPushButton::clicked, this,
            &PreferencesController::chooseStaticLocationButtonClicked);
    connect(QVXUpdate_checkAtLaunchCheckbox, &QCheckBox::clicked, this,
            &PreferencesController::QVXUpdate_checkAtLaunchCheckboxClicked);
    connect(_ui->checkNowButton, &QPushButton::clicked, this, &PreferencesController::QVXUpdate_checkNowButton);
}

void PreferencesController::finishSetup() {
    QVXUpdate_updateInterface();
    QVXUpdate_installDefaultsUpdatedNotification();
}

void PreferencesController::showWindow() {
    // Centred once shown: the first showing lays the window out at its final size.
    _window->show();
    WindowFrameAutosave::center(_window.get());
    _window->raise();
    _window->activateWindow();
}

std::vector<std::string> PreferencesController::toolbarDefaultItemIdentifiers() {
    return {QVXToolbarItemIdentifier_general, QVXToolbarItemIdentifier_update};
}

QAction* PreferencesController::itemForItemIdentifier(const std::string& identifier) {
    void (PreferencesController::*activate)() = nullptr;
    QString image;
    if (identifier == QVXToolbarItemIdentifier_general) {
        activate = &PreferencesController::activateGeneralPane;
        image = QStringLiteral("prefIcon_general");
    } else if (identifier == QVXToolbarItemIdentifier_update) {
        activate = &PreferencesController::activateUpdatePane;
        image = QStringLiteral("prefIcon_update");
    } else {
        return nullptr;
    }
    auto* item = new QAction(imageNamed(image), QString::fromStdString(identifier), _window.get());
    item->setObjectName(QString::fromStdString(identifier));
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, activate);
    return item;
}

void PreferencesController::setupToolbar() {
    _toolbar = new QToolBar(_window.get());
    _toolbar->setObjectName(QString::fromLatin1(QVXToolbarIdentifier_preferences));
    _toolbar->setMovable(false);
    _toolbar->setFloatable(false);
    _toolbar->toggleViewAction()->setVisible(false);
    _toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    _toolbar->setIconSize(QSize(32, 32));
    // The marked item follows the shown pane, one at a time.
    auto* selection = new QActionGroup(_toolbar);
    selection->setExclusive(true);
    for (const std::string& identifier : toolbarDefaultItemIdentifiers()) {
        QAction* item = itemForItemIdentifier(identifier);
        selection->addAction(item);
        _toolbar->addAction(item);
    }
    _window->addToolBar(Qt::TopToolBarArea, _toolbar);
    selectPane(QVXToolbarItemIdentifier_general);
}

void PreferencesController::selectPane(const std::string& identifier) {
    const QString name = QString::fromStdString(identifier);
    for (int index = 0; index < tabView->count(); ++index) {
        if (tabView->widget(index)->objectName() == name) {
            tabView->setCurrentIndex(index);
        }
    }
    for (QAction* item : _toolbar->actions()) {
        if (item->objectName() == name) {
            item->setChecked(true);
        }
    }
}

void PreferencesController::activateGeneralPane() {
    selectPane(QVXToolbarItemIdentifier_general);
}

void PreferencesController::activateUpdatePane() {
    selectPane(QVXToolbarItemIdentifier_update);
}

void PreferencesController::exportLocationPrefChanged() {
    NotificationCenter::defaultCenter().post(QVXPreferenceNotification_interfacePreferenceDidChange);
}

void PreferencesController::chooseStaticLocationButtonClicked() {
    if (_openSheet) {
        return;
    }
    _openSheet = openFolderChooserSheet(_window.get(), QString::fromLatin1(kChooseLocationMessage), this,
                                        [this](QFileDialog& panel, int returnCode) {
                                            chooseStaticLocationPanelDidEnd(panel, returnCode);
                                        });
}

void PreferencesController::chooseStaticLocationPanelDidEnd(QFileDialog& panel, int returnCode) {
    if (const std::optional<std::string> folder = chosenFolder(panel, returnCode)) {
        defaults().setObject(PlistValue(*folder), QVXDefaultsKey_exportStaticLocation);
    }
}

void PreferencesController::QVXUpdate_checkAtLaunchCheckboxClicked() {
    defaults().setObject(PlistValue(QVXUpdate_checkAtLaunchCheckbox->isChecked()), QVXUpdateDefaultsKey_checkAtlaunch);
}

void PreferencesController::QVXUpdate_checkNowButton() {
    checkForUpdates(true, _updateEnvironment);
    NotificationCenter::defaultCenter().post(QVXUpdateNotification_defaultsDidChange);
}

void PreferencesController::QVXUpdate_updateInterface() {
    QVXUpdate_checkAtLaunchCheckbox->setChecked(defaults().boolForKey(QVXUpdateDefaultsKey_checkAtlaunch));
    QVXUpdate_updateLastCheckedTextField();
}

void PreferencesController::QVXUpdate_updateLastCheckedTextField() {
    QVXUpdate_lastCheckedTextField->setText(lastCheckedText(defaults().objectForKey(QVXUpdateDefaultsKey_lastChecked)));
}

QString PreferencesController::lastCheckedText(const PlistValue& lastChecked) {
    if (lastChecked.type() != PlistValue::Type::Date) {
        return text("Last checked for updates label - never checked");
    }
    return descriptionWithCalendarFormat(lastChecked.dateValue(), text("Last checked for updates label - format"));
}

void PreferencesController::QVXUpdate_installDefaultsUpdatedNotification() {
    // A check at launch posts from its own thread: the pane is refreshed on the main thread.
    _defaultsObserver = NotificationCenter::defaultCenter().addObserver(
        QVXUpdateNotification_defaultsDidChange, [this](const std::string&, const PlistValue&) {
            if (QThread::currentThread() == thread()) {
                QVXUpdate_updateInterface();
            } else {
                QMetaObject::invokeMethod(this, [this] { QVXUpdate_updateInterface(); }, Qt::QueuedConnection);
            }
        });
}

} // namespace pellora
