// An export as the window runs it: the check of the list's names before it
// starts, the count label while it runs, and its report at the end.
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "app/MainController.h"
#include "app/MainWindow.h"
#include "ui/ExportReportModel.h"
#include "ui/SourceListModel.h"

namespace pellora {

void MainController::exportAfterCheckingNames(const std::string& folder) {
    // Names only (and, with overwriting off, whether each output exists): no
    // file is decoded, so even a long list is checked at once.
    const ExportPlan plan = _batch->planExportToPath(folder);
    if (!plan.hasConflicts()) {
        startExport(folder);
        return;
    }
    auto* sheet = new ExportConflictSheet(plan, _window.get());
    _conflictSheet = sheet;
    connect(sheet, &QDialog::finished, this, [this, sheet, folder] {
        sheet->hide();
        sheet->deleteLater();
        if (sheet->exportAnywayChosen()) {
            startExport(folder);
        }
    });
    sheet->open();
}

void MainController::startExport(const std::string& folder) {
    // An import may have begun while the question was open (files handed
    // over by a second launch): no export starts beside it.
    if (_batch->isBusy()) {
        QApplication::beep();
        return;
    }
    // A fixed folder is made where missing; a chosen one exists already.
    BatchController::createFoldersAlongPath(folder);
    _exportFolder = folder;
    _batch->exportImagesToPath(folder);
}

QString MainController::exportingText(int done) const {
    const int total = progressBar->maximum();
    return QStringLiteral("Exporting %1 of %2").arg(std::min(done + 1, total)).arg(total);
}

void MainController::exportFinished(const ExportReport& report) {
    // The run is ending (a termination signal stopped the export): nobody is left to read it.
    if (_terminationPending) {
        return;
    }
    if (ExportReportModel::needsTelling(report)) {
        auto* sheet = new ExportReportSheet(report, _exportFolder, *_folderOpener, _window.get());
        _reportSheet = sheet;
        connect(sheet, &QDialog::finished, sheet, &QObject::deleteLater);
        sheet->open();
        return;
    }
    if (report.results().empty()) {
        return;
    }
    // Everything it reached was written: the count label says so, until the list changes.
    const QString written = QStringLiteral("%1 written").arg(report.count(ExportOutcome::Written));
    const int left = _tableModel->rowCount();
    numImagesTextField->setText(left == 0 ? written : written + QStringLiteral(", ") + imagesCountText(left) +
                                                          QStringLiteral(" left"));
}

} // namespace pellora
