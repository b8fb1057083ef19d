#pragma once

#include <QFileDialog>
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/QtMainThreadDispatcher.h"
#include "jobs/BatchController.h"
#include "jobs/ExportReport.h"
#include "jobs/WindowStateSink.h"
#include "jobs/XbelRecentDocuments.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/ExportConflictSheet.h"
#include "ui/ExportReportSheet.h"
#include "ui/ImagesTableView.h"
#include "ui/QtFolderOpener.h"
#include "ui/ToolbarCustomizationDialog.h"
#include "ui/ViewerController.h"

class QAction;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QSlider;
class QStackedWidget;
class QToolBar;
namespace Ui {
class MainWindow;
}

namespace pellora {

class AddFilesDialog;
class MainWindow;
class PreferencesController;
class SourceListModel;
class ThumbnailCache;
class UpdateCheckService;
class WindowFrameAutosave;

// The application's central object: it builds the main window from its
// layout, holds its widgets, owns the batch controller (source list, job
// flags, import and export jobs) and the viewer, and carries the operations
// of the window: start-up, window state, toolbar, presets, table, sheets.
// Everything here runs on the main thread; the jobs reach it through the
// dispatcher as a WindowStateSink.
class MainController : public QObject,
                       public WindowStateSink,
                       public ExportResultObserver,
                       public ImagesTableDropDelegate,
                       public SelectedImageProvider {
    Q_OBJECT

public:
    // Registers the settings defaults, loads the window and runs finishSetup.
    MainController();
    ~MainController() override;

    MainWindow* window() const { return _window.get(); }
    BatchController& batch() { return *_batch; }
    QToolBar* toolbar() const { return _toolbar; }
    SourceListModel& tableModel() const { return *_tableModel; }
    ThumbnailCache& thumbnails() const { return *_thumbnails; }

    // --- Start-up and end ---
    void applicationDidFinishLaunching();
    // Ends the run as a termination signal asks: a running export is stopped
    // as Stop stops it (the record in hand is finished), and the window closes,
    // which ends the application, as soon as no job runs.
    void terminateWhenIdle();

    // --- Window state (WindowStateSink) ---
    void updateInterface() override;
    void readyProgressBarWithMax(double max) override;
    void setProgressValue(double value) override;
    void reloadData() override;
    void disableExportButton() override;
    void scalePercentageSliderDidChange();
    void jpegQualitySliderDidChange();
    void jpeg2000QualitySliderDidChange();
    bool validateToolbarItem(const QAction* item) const;
    bool validateMenuItem(const QAction* item) const;
    // Sets the enabled state of every toolbar and menu item from the flags of this moment.
    void validateVisibleItems();

    // --- Toolbar ---
    static std::vector<std::string> toolbarDefaultItemIdentifiers();
    static std::vector<std::string> toolbarAllowedItemIdentifiers();
    // The settings key of the user's arrangement, formed from the toolbar's identifier.
    static std::string toolbarConfigurationKey();
    // The toolbar's arrangement, from left to right.
    std::vector<std::string> toolbarItemIdentifiers() const;
    // Rebuilds the toolbar with these items (not saved).
    void setToolbarItemIdentifiers(const std::vector<std::string>& identifiers);
    // The Customize Toolbar… dialog, window-modal; an accepted arrangement is shown and saved.
    void runToolbarCustomizationPalette();
    ToolbarCustomizationDialog* toolbarCustomizationPalette() const { return _toolbarCustomization; }
    // A new item for one of the four identifiers, or null.
    QAction* itemForItemIdentifier(const std::string& identifier);
    // The toolbar's items, in order (separators and spaces left out).
    std::vector<QAction*> toolbarItems() const;
    void addToolbarItemClicked();
    void viewToolbarItemClicked();
    void removeToolbarItemClicked();
    void clearToolbarItemClicked();

    // --- Size presets ---
    int numberOfItemsInComboBox(const QComboBox* comboBox) const;
    std::optional<int> objectValueForItemAtIndex(const QComboBox* comboBox, int index) const;

    // --- Table ---
    int numberOfRowsInTableView();
    void tableViewSelectionDidChange();
    std::shared_ptr<PelloraImage> selectedPelloraImage() const override;
    Qt::DropAction validateDrop(const QMimeData& data) override;
    bool acceptDrop(const QMimeData& data) override;

    // --- Sheets and export ---
    void showAddFilesPanel();
    void addFilesOpenPanelDidEnd(AddFilesDialog& panel, int returnCode);
    void exportButtonClicked();
    void exportLocationSavePanelDidEnd(QFileDialog& panel, int returnCode);
    // The open sheet, if any (tests drive it).
    QFileDialog* openSheet() const { return _openSheet; }

    // --- What an export will do and did ---
    // The sheet asking whether to export a list with same-named images or
    // existing outputs, while it is open.
    ExportConflictSheet* conflictSheet() const { return _conflictSheet; }
    // The report of the last export that skipped or failed anything, while it is open.
    ExportReportSheet* reportSheet() const { return _reportSheet; }
    // The report sheet tells the whole export at its end; single records need nothing.
    void recordExported(const ExportRecordResult&) override {}
    // Shows the report sheet when anything was skipped or failed, else the count in the label.
    void exportFinished(const ExportReport& report) override;
    // Where Show in Folder sends the destination (tests record it); the desktop's file manager by default.
    void setFolderOpener(FolderOpener& opener) { _folderOpener = &opener; }

    // --- Open-file events and recent files ---
    // One path opened with the application: imported when it is an image file
    // or a folder holding one; false (nothing imported) otherwise.
    bool openFile(const std::string& path);
    // Paths opened with the application: imported unfiltered (the import filters).
    void openFiles(const std::vector<std::string>& paths);
    // The action of the Add Recent item, which only carries its submenu.
    void addRecentTargetDummy() {}
    XbelRecentDocuments& recentDocuments() { return *_recentDocuments; }
    QMenu* addRecentMenu() const { return _addRecentMenu; }

    // --- Viewer ---
    ViewerController& viewerController();
    bool hasViewerController() const { return _viewerController != nullptr; }
    void showViewer();
    void tableViewDoubleClicked();

    // --- Update check and preferences ---
    // A check the user asked for, on the main thread.
    void checkForUpdates();
    UpdateCheckService& updateChecks() const { return *_updateChecks; }
    PreferencesController& preferencesController();
    bool hasPreferencesController() const { return _preferencesController != nullptr; }
    void showPreferences();

private:
    void takeLayoutWidgets();
    std::span<const int> presetsOfComboBox(const QComboBox* comboBox) const;
    void fillPresets();
    void bindSettings();
    void connectActions();
    void finishSetup();
    void setupToolbar();
    static std::vector<std::string> savedToolbarItemIdentifiers();
    void setupTableView();
    // The nine controls that a job disables, in order.
    std::vector<QWidget*> settingsControls() const;
    void setSliderLabel(const QSlider* slider, QLabel* label);
    std::vector<int> selectedRows() const;
    // Reloads from the list, then selects the given rows, or keeps the selected rows that remain.
    void reloadTable(const std::optional<std::vector<int>>& selection);
    void selectRows(const std::vector<int>& rows);
    void showDestinationSheet();
    // Starts the export into folder, first asking in a sheet when images of
    // the list share an output name or (overwriting off) outputs exist.
    void exportAfterCheckingNames(const std::string& folder);
    void startExport(const std::string& folder);
    // The count label's text while exporting: the record in hand of the whole.
    QString exportingText(int done) const;
    static QString imagesCountText(int count);
    void saveWindowFrames();
    // Closes the window once no job runs, when the end of the run has been asked for.
    void closeIfTerminationPending();
    void setupRecentMenu();
    void fillRecentMenu();

    // The window's widgets and menu items, taken from the layout; the window
    // owns them. Tests reach them by their object names, as a user reaches them on screen.
    ImagesTableView* imagesTableView = nullptr;
    QScrollBar* imageTableVerticalScroller = nullptr;
    QLabel* numImagesTextField = nullptr;
    QComboBox* scalingPopUpButton = nullptr;
    QStackedWidget* scalingEnclosureTabView = nullptr;
    QComboBox* maxSideComboBox = nullptr;
    QComboBox* maxWidthComboBox = nullptr;
    QComboBox* maxHeightComboBox = nullptr;
    QSlider* scalePercentageSlider = nullptr;
    QLabel* scalePercentageTextField = nullptr;
    QComboBox* formatPopUpButton = nullptr;
    QSlider* jpegQualitySlider = nullptr;
    QLabel* jpegQualityTextField = nullptr;
    QSlider* jpeg2000QualitySlider = nullptr;
    QLabel* jpeg2000QualityTextField = nullptr;
    QPushButton* exportButton = nullptr;
    QProgressBar* progressBar = nullptr;
    QAction* addFilesMenuItem = nullptr;
    QAction* exportMenuItem = nullptr;
    QAction* viewSelectedMenuItem = nullptr;
    QAction* quitMenuItem = nullptr;
    QAction* addRecentMenuItem = nullptr;
    QAction* checkForUpdatesMenuItem = nullptr;
    QAction* preferencesMenuItem = nullptr;

    QtMainThreadDispatcher _mainThread;
    std::unique_ptr<UpdateCheckService> _updateChecks;
    std::unique_ptr<MainWindow> _window;
    std::unique_ptr<Ui::MainWindow> _ui;
    QToolBar* _toolbar = nullptr;
    ThumbnailCache* _thumbnails = nullptr;
    SourceListModel* _tableModel = nullptr;
    WindowFrameAutosave* _frameAutosave = nullptr;
    QPointer<QFileDialog> _openSheet;
    QPointer<ExportConflictSheet> _conflictSheet;
    QPointer<ExportReportSheet> _reportSheet;
    // The folder of the export running or last run, for its report.
    std::string _exportFolder;
    QtFolderOpener _desktopFolderOpener;
    FolderOpener* _folderOpener = &_desktopFolderOpener;
    QPointer<ToolbarCustomizationDialog> _toolbarCustomization;
    std::unique_ptr<ViewerController> _viewerController;
    std::unique_ptr<PreferencesController> _preferencesController;
    NotificationCenter::Token _interfacePreferenceObserver = 0;
    QMenu* _addRecentMenu = nullptr;
    bool _terminationPending = false;
    // Outlives the batch controller, whose imports note into it.
    std::unique_ptr<XbelRecentDocuments> _recentDocuments;
    // Declared last: destroyed first, while the window its jobs report to still exists.
    std::unique_ptr<BatchController> _batch;
};

} // namespace pellora
