// The add-files sheet, the export button and its destination sheet.
#include <QFileDialog>

#include "app/MainController.h"
#include "app/MainWindow.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/AddFilesDialog.h"
#include "ui/FolderChooserSheet.h"

namespace pellora {

namespace {

constexpr const char* destinationMessage = "Select a destination for your resized image files.";

} // namespace

void MainController::showAddFilesPanel() {
    if (_openSheet) {
        return;
    }
    auto* panel = new AddFilesDialog(_window.get());
    _openSheet = panel;
    connect(panel, &QDialog::finished, this, [this, panel](int returnCode) {
        addFilesOpenPanelDidEnd(*panel, returnCode);
        panel->deleteLater();
    });
    panel->open();
}

void MainController::addFilesOpenPanelDidEnd(AddFilesDialog& panel, int returnCode) {
    // The sheet goes before any work starts.
    panel.hide();
    if (returnCode == QDialog::Accepted) {
        std::vector<std::string> paths = panel.chosenPaths();
        if (!paths.empty()) {
            _batch->importImageFilesAtPaths(std::move(paths));
        }
    }
}

void MainController::exportButtonClicked() {
    if (_openSheet || _conflictSheet) {
        return;
    }
    if (_batch->isExporting()) {
        _batch->exportButtonClicked();  // sets canceled
        return;
    }
    const UserDefaults& defaults = UserDefaultsController::sharedUserDefaultsController().defaults();
    if (defaults.integerForKey(QVXDefaultsKey_exportDestination) == 0) {
        showDestinationSheet();
        return;
    }
    exportAfterCheckingNames(BatchController::fixedExportFolder(defaults));
}

void MainController::showDestinationSheet() {
    _openSheet = openFolderChooserSheet(_window.get(), QString::fromLatin1(destinationMessage), this,
                                        [this](QFileDialog& panel, int returnCode) {
                                            exportLocationSavePanelDidEnd(panel, returnCode);
                                        });
}

void MainController::exportLocationSavePanelDidEnd(QFileDialog& panel, int returnCode) {
    if (const std::optional<std::string> folder = chosenFolder(panel, returnCode)) exportAfterCheckingNames(*folder);
}

} // namespace pellora
