// The main window's state: what the controls show and allow while idle,
// importing and exporting, computed from the job flags each time it is asked.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <cstdio>

#include "app/MainController.h"
#include "app/MainWindow.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/Identifiers.h"
#include "ui/SettingsBinding.h"
#include "ui/SourceListModel.h"

namespace pellora {

std::vector<QWidget*> MainController::settingsControls() const {
    return {imagesTableView,  imageTableVerticalScroller, scalingPopUpButton,
            maxSideComboBox,  maxWidthComboBox,           maxHeightComboBox,
            formatPopUpButton, jpegQualitySlider,         jpeg2000QualitySlider};
}

void MainController::updateInterface() {
    validateVisibleItems();
    if (!_batch->isBusy()) {
        numImagesTextField->show();
        progressBar->hide();
        const int destination =
            UserDefaultsController::sharedUserDefaultsController().defaults().integerForKey(QVXDefaultsKey_exportDestination);
        const QString title = destination == 0 ? QStringLiteral("Export...") : QStringLiteral("Export");
        exportButton->setText(title);
        exportMenuItem->setText(QLatin1Char('&') + title);
        exportButton->setEnabled(!_batch->pelloraImages().empty());
        for (QWidget* control : settingsControls()) {
            control->setEnabled(true);
        }
        // A job's last refresh is where a termination that waited for it goes on.
        closeIfTerminationPending();
        return;
    }
    if (_batch->isExporting()) {
        exportButton->setText(QStringLiteral("Stop"));
        exportMenuItem->setText(QStringLiteral("&Stop"));
    }
    for (QWidget* control : settingsControls()) {
        control->setEnabled(false);
    }
}

void MainController::readyProgressBarWithMax(double max) {
    progressBar->setMaximum(static_cast<int>(max));
    progressBar->setValue(0);
    // An export tells the record in hand beside the bar; an import shows the bar alone.
    if (_batch->isExporting()) {
        numImagesTextField->setText(exportingText(0));
    } else {
        numImagesTextField->hide();
    }
    progressBar->show();
    progressBar->repaint();
}

void MainController::setProgressValue(double value) {
    progressBar->setValue(static_cast<int>(value));
    if (_batch->isExporting()) {
        numImagesTextField->setText(exportingText(static_cast<int>(value)));
    }
    // Records leave the list as they are exported: the Stop item follows the count.
    validateVisibleItems();
}

void MainController::disableExportButton() {
    exportButton->setEnabled(false);
}

void MainController::setSliderLabel(const QSlider* slider, QLabel* label) {
    const double value = static_cast<double>(slider->value()) / SettingsBinding::sliderFractionStep;
    // The C library rounds an exact half to the even neighbour (12.5 gives 12); Qt's formatter would not.
    char text[32];
    std::snprintf(text, sizeof text, "%.f%%", value * 100.0);
    label->setText(QString::fromLatin1(text));
}

void MainController::scalePercentageSliderDidChange() {
    setSliderLabel(scalePercentageSlider, scalePercentageTextField);
}

void MainController::jpegQualitySliderDidChange() {
    setSliderLabel(jpegQualitySlider, jpegQualityTextField);
}

void MainController::jpeg2000QualitySliderDidChange() {
    setSliderLabel(jpeg2000QualitySlider, jpeg2000QualityTextField);
}

bool MainController::validateToolbarItem(const QAction* item) const {
    if (_batch->isExporting() || _batch->isImporting()) {
        return false;
    }
    const std::string identifier = item->objectName().toStdString();
    if (identifier == QVXToolbarItemIdentifier_remove || identifier == QVXToolbarItemIdentifier_view) {
        return !selectedRows().empty();
    }
    if (identifier == QVXToolbarItemIdentifier_clear) {
        return _tableModel != nullptr && _tableModel->rowCount() != 0;
    }
    return true;
}

bool MainController::validateMenuItem(const QAction* item) const {
    const bool importing = _batch->isImporting();
    const bool exporting = _batch->isExporting();
    if (item == addFilesMenuItem || item == addRecentMenuItem) {
        return !importing && !exporting;
    }
    if (item == exportMenuItem) {
        return !importing && !_batch->pelloraImages().empty();
    }
    if (item == viewSelectedMenuItem) {
        return !selectedRows().empty();
    }
    if (item == _window->closeMenuItem) {
        return _window->validateMenuItem(item);
    }
    return true;
}

void MainController::validateVisibleItems() {
    for (QAction* item : toolbarItems()) {
        item->setEnabled(validateToolbarItem(item));
    }
    for (QAction* item :
         {addFilesMenuItem, addRecentMenuItem, exportMenuItem, viewSelectedMenuItem, _window->closeMenuItem}) {
        item->setEnabled(validateMenuItem(item));
    }
}

} // namespace pellora
