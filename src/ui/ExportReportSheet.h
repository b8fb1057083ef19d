#pragma once

#include <QDialog>
#include <string>

#include "jobs/ExportReport.h"

class QLabel;
class QPushButton;
class QTreeView;

namespace pellora {

class ExportReportModel;
class FolderOpener;

// The sheet shown at the end of an export that skipped or failed anything:
// the counts, the list of those files with what happened to each, Show in
// Folder (the destination, in the file manager) and OK; Ctrl+C copies the
// report as text. Window-modal on the main window.
class ExportReportSheet : public QDialog {
    Q_OBJECT

public:
    ExportReportSheet(const ExportReport& report, const std::string& folder, FolderOpener& folderOpener,
                      QWidget* parent);

    const ExportReportModel& model() const { return *_model; }
    QLabel* headlineLabel() const { return _headline; }
    QLabel* countsLabel() const { return _counts; }
    QTreeView* resultsView() const { return _results; }
    QPushButton* showInFolderButton() const { return _showInFolder; }
    QPushButton* okButton() const { return _ok; }

private:
    // Opens the destination; the sheet closes once the file manager has it.
    void showInFolder();

    FolderOpener& _folderOpener;
    ExportReportModel* _model;
    QLabel* _headline;
    QLabel* _counts;
    QTreeView* _results;
    QPushButton* _showInFolder;
    QPushButton* _ok;
};

} // namespace pellora
