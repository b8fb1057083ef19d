#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <vector>

#include "jobs/ExportReport.h"

namespace pellora {

// What the window tells of one finished export: the headline, the counts, and
// one row for each skipped or failed file with what happened to it, in the
// order the export dealt with them. Built from the export's report and the
// folder it wrote into; the report sheet shows it.
class ExportReportModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { FileColumn = 0, ResultColumn = 1, ColumnCount = 2 };

    ExportReportModel(ExportReport report, std::string folder, QObject* parent = nullptr);

    // True when anything was skipped or failed: only then is the report shown.
    static bool needsTelling(const ExportReport& report);
    // What happened to one record, in a few words: "Failed: cannot decode the image".
    static QString resultText(const ExportRecordResult& result);

    // "Export finished", or "Export stopped" when the user stopped it.
    QString headline() const;
    // "57 written, 2 skipped, 1 failed"
    QString countsText() const;
    // The whole report as text to paste elsewhere: the headline, the counts,
    // then one line per row, the source's full path and its result apart by a tab.
    QString plainText() const;
    // The destination folder's file: URL, for Show in Folder.
    std::string folderURL() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // The file's name (its full path as the tool tip) and the result text
    // (the output path as the tool tip).
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    ExportReport _report;
    std::vector<ExportRecordResult> _rows;
    std::string _folder;
};

} // namespace pellora
