// The add-files sheet, the export button and its destination sheet.
#include <QFile>
#include <QFileDialog>

#include "app/MainController.h"
#include "app/MainWindow.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/AddFilesDialog.h"

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
    auto* panel = new QFileDialog(_window.get());
    _openSheet = panel;
    panel->setFileMode(QFileDialog::Directory);
    panel->setOption(QFileDialog::ShowDirsOnly, true);
    prepareSheet(*panel, QString::fromLatin1(destinationMessage), QStringLiteral("Choose"));
    connect(panel, &QDialog::finished, this, [this, panel](int returnCode) {
        exportLocationSavePanelDidEnd(*panel, returnCode);
        panel->deleteLater();
    });
    panel->open();
}

void MainController::exportLocationSavePanelDidEnd(QFileDialog& panel, int returnCode) {
    panel.hide();
    const QStringList chosen = panel.selectedFiles();
    if (returnCode == QDialog::Accepted && !chosen.isEmpty()) {
        exportAfterCheckingNames(QFile::encodeName(chosen.first()).toStdString());
    }
}

} // namespace pellora
