#include "app/MainController.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QThread>
#include <QToolBar>

#include "app/MainWindow.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/Identifiers.h"
#include "ui/PreferencesController.h"
#include "ui/SettingsBinding.h"
#include "ui/SourceListModel.h"
#include "ui/ThumbnailCache.h"
#include "ui/UpdateCheckService.h"
#include "ui/WindowFrameAutosave.h"
#include "ui_MainWindow.h"

namespace pellora {

MainController::MainController() {
    // The bindings made with the window read the defaults.
    registerDefaults();
    _window = std::make_unique<MainWindow>();
    _ui = std::make_unique<Ui::MainWindow>();
    _ui->setupUi(_window.get());
    _recentDocuments = std::make_unique<XbelRecentDocuments>(
        RecentlyUsedXbel(RecentlyUsedXbel::defaultFilePath(), "Pellora", "'pellora %u'"));
    _batch = std::make_unique<BatchController>(_mainThread, *this, _recentDocuments.get());
    _batch->setExportResultObserver(this);
    _updateChecks = std::make_unique<UpdateCheckService>(_mainThread);
    takeLayoutWidgets();
    setupRecentMenu();
    fillPresets();
    bindSettings();
    connectActions();
    finishSetup();
}

MainController::~MainController() {
    NotificationCenter::defaultCenter().removeObserver(_interfacePreferenceObserver);
    // An export that ends while the window goes shows no report.
    _batch->setExportResultObserver(nullptr);
    // The check at launch opens no alert from now on and ends its fetch; it is joined at the end.
    _updateChecks->cancel();
    // A job at its very end may still wait for the main thread: serve it, then join.
    _mainThread.shutDown();
    saveWindowFrames();
    delete _frameAutosave;
    _viewerController.reset();
    _preferencesController.reset();
    // From here on nothing the window does while it is torn down reaches this controller.
    if (QItemSelectionModel* selection = imagesTableView->selectionModel()) {
        disconnect(selection, nullptr, this, nullptr);
    }
    imagesTableView->setDropDelegate(nullptr);
    _window->setBusyQuery(nullptr);
    _batch.reset();
}

void MainController::takeLayoutWidgets() {
    imagesTableView = _ui->imagesTableView;
    imageTableVerticalScroller = imagesTableView->verticalScrollBar();
    numImagesTextField = _ui->numImagesTextField;
    scalingPopUpButton = _ui->scalingPopUpButton;
    scalingEnclosureTabView = _ui->scalingEnclosureTabView;
    maxSideComboBox = _ui->maxSideComboBox;
    maxWidthComboBox = _ui->maxWidthComboBox;
    maxHeightComboBox = _ui->maxHeightComboBox;
    scalePercentageSlider = _ui->scalePercentageSlider;
    scalePercentageTextField = _ui->scalePercentageTextField;
    formatPopUpButton = _ui->formatPopUpButton;
    jpegQualitySlider = _ui->jpegQualitySlider;
    jpegQualityTextField = _ui->jpegQualityTextField;
    jpeg2000QualitySlider = _ui->jpeg2000QualitySlider;
    jpeg2000QualityTextField = _ui->jpeg2000QualityTextField;
    exportButton = _ui->exportButton;
    progressBar = _ui->progressBar;
    addFilesMenuItem = _ui->addFilesMenuItem;
    exportMenuItem = _ui->exportMenuItem;
    viewSelectedMenuItem = _ui->viewSelectedMenuItem;
    quitMenuItem = _ui->quitMenuItem;
    checkForUpdatesMenuItem = _ui->checkForUpdatesMenuItem;
    preferencesMenuItem = _ui->preferencesMenuItem;
    _window->setCloseMenuItem(_ui->closeMenuItem);
    _window->setBusyQuery([this] { return _batch->isBusy(); });
}

void MainController::fillPresets() {
    // The lists go in before the bindings, which then show the stored values.
    for (QComboBox* comboBox : {maxSideComboBox, maxWidthComboBox, maxHeightComboBox}) {
        for (int index = 0; index < numberOfItemsInComboBox(comboBox); ++index) {
            comboBox->addItem(QString::number(*objectValueForItemAtIndex(comboBox, index)));
        }
    }
}

void MainController::bindSettings() {
    UserDefaults& defaults = UserDefaultsController::sharedUserDefaultsController().defaults();
    SettingsBinding::bindIndex(scalingPopUpButton, QVXDefaultsKey_scalingMethod, defaults);
    SettingsBinding::bindText(maxSideComboBox, QVXDefaultsKey_scalingMaxWidthOrHeight, defaults);
    SettingsBinding::bindText(maxWidthComboBox, QVXDefaultsKey_scalingMaxWidth, defaults);
    SettingsBinding::bindText(maxHeightComboBox, QVXDefaultsKey_scalingMaxHeight, defaults);
    // 0% would be no picture at all: the scale starts at 1%.
    SettingsBinding::bindFraction(scalePercentageSlider, QVXDefaultsKey_scalingPercentage, defaults, 0.01);
    SettingsBinding::bindIndex(formatPopUpButton, QVXDefaultsKey_exportFormat, defaults);
    SettingsBinding::bindFraction(jpegQualitySlider, QVXDefaultsKey_JPEGExportQuality, defaults);
    SettingsBinding::bindFraction(jpeg2000QualitySlider, QVXDefaultsKey_JPEG2000ExportQuality, defaults);
}

void MainController::connectActions() {
    // Each command checks its validation again when it fires: a shortcut can
    // arrive between a change of the flags and the refresh that follows it.
    const auto guarded = [this](QAction* item, void (MainController::*operation)()) {
        connect(item, &QAction::triggered, this, [this, item, operation] {
            if (validateMenuItem(item)) {
                (this->*operation)();
            }
        });
    };
    guarded(addFilesMenuItem, &MainController::showAddFilesPanel);
    guarded(exportMenuItem, &MainController::exportButtonClicked);
    guarded(viewSelectedMenuItem, &MainController::showViewer);
    connect(_window->closeMenuItem, &QAction::triggered, _window.get(), &MainWindow::performClose);
    // Quit answers in the viewer and the preferences window too.
    quitMenuItem->setShortcutContext(Qt::ApplicationShortcut);
    connect(quitMenuItem, &QAction::triggered, _window.get(), &MainWindow::performClose);
    connect(checkForUpdatesMenuItem, &QAction::triggered, this, &MainController::checkForUpdates);
    connect(preferencesMenuItem, &QAction::triggered, this, &MainController::showPreferences);
    connect(exportButton, &QPushButton::clicked, this, &MainController::exportButtonClicked);
    connect(scalePercentageSlider, &QSlider::valueChanged, this, &MainController::scalePercentageSliderDidChange);
    connect(jpegQualitySlider, &QSlider::valueChanged, this, &MainController::jpegQualitySliderDidChange);
    connect(jpeg2000QualitySlider, &QSlider::valueChanged, this, &MainController::jpeg2000QualitySliderDidChange);
    for (QMenu* menu : _window->findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, &MainController::validateVisibleItems);
    }
}

void MainController::finishSetup() {
    _frameAutosave = new WindowFrameAutosave(_window.get(), QVXDefaultsKey_mainWindowFrame, UserDefaults::standard());
    if (!_frameAutosave->setFrameUsingName()) {
        WindowFrameAutosave::center(_window.get());
    }
    setupToolbar();
    updateInterface();
    scalePercentageSliderDidChange();
    jpegQualitySliderDidChange();
    jpeg2000QualitySliderDidChange();
}

void MainController::applicationDidFinishLaunching() {
    registerDefaults();
    setupTableView();
    _interfacePreferenceObserver = NotificationCenter::defaultCenter().addObserver(
        QVXPreferenceNotification_interfacePreferenceDidChange,
        [this](const std::string&, const PlistValue&) {
            if (QThread::currentThread() == thread()) {
                updateInterface();
            } else {
                QMetaObject::invokeMethod(this, [this] { updateInterface(); }, Qt::QueuedConnection);
            }
        });
    _updateChecks->checkForUpdatesAtLaunch();
}

void MainController::terminateWhenIdle() {
    _terminationPending = true;
    if (_batch->isExporting()) {
        _batch->setIsCanceled(true);
    }
    closeIfTerminationPending();
}

void MainController::closeIfTerminationPending() {
    if (!_terminationPending || _batch->isBusy()) {
        return;
    }
    // Not from inside the refresh that found the jobs over: the close runs from the event loop.
    QMetaObject::invokeMethod(_window.get(), [window = _window.get()] { window->close(); }, Qt::QueuedConnection);
}

void MainController::saveWindowFrames() {
    _frameAutosave->saveFrame();
}

std::span<const int> MainController::presetsOfComboBox(const QComboBox* comboBox) const {
    static constexpr int sidePresets[] = {128, 256, 320, 480, 512, 640, 800, 1024, 1280, 1600, 1920, 2560};
    static constexpr int widthPresets[] = {128, 256, 320, 480, 512, 640, 800, 1024, 1280, 1344, 1600, 1920, 2048, 2560};
    static constexpr int heightPresets[] = {96, 192, 240, 360, 384, 480, 600, 768, 840, 960, 1200, 1280, 1600};
    if (comboBox == maxSideComboBox) {
        return sidePresets;
    }
    if (comboBox == maxWidthComboBox) {
        return widthPresets;
    }
    if (comboBox == maxHeightComboBox) {
        return heightPresets;
    }
    return {};
}

int MainController::numberOfItemsInComboBox(const QComboBox* comboBox) const {
    return static_cast<int>(presetsOfComboBox(comboBox).size());
}

std::optional<int> MainController::objectValueForItemAtIndex(const QComboBox* comboBox, int index) const {
    const std::span<const int> presets = presetsOfComboBox(comboBox);
    if (index < 0 || static_cast<std::size_t>(index) >= presets.size()) {
        return std::nullopt;
    }
    return presets[static_cast<std::size_t>(index)];
}

ViewerController& MainController::viewerController() {
    if (!_viewerController) {
        _viewerController = std::make_unique<ViewerController>(*this);
    }
    return *_viewerController;
}

void MainController::showViewer() {
    viewerController().showWindow();
}

void MainController::tableViewDoubleClicked() {
    if (!selectedRows().empty()) {
        showViewer();
    }
}

} // namespace pellora
