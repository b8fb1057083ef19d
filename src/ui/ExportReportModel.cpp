#include "ui/ExportReportModel.h"

#include "jobs/FolderOpener.h"
#include "platform/foundation/Paths.h"
#include "ui/FileNameText.h"

namespace pellora {

ExportReportModel::ExportReportModel(ExportReport report, std::string folder, QObject* parent)
    : QAbstractTableModel(parent), _report(std::move(report)), _rows(_report.skippedAndFailed()),
      _folder(std::move(folder)) {}

bool ExportReportModel::needsTelling(const ExportReport& report) {
    return report.count(ExportOutcome::Skipped) + report.count(ExportOutcome::Failed) > 0;
}

QString ExportReportModel::resultText(const ExportRecordResult& result) {
    switch (result.outcome) {
    case ExportOutcome::Written: return QStringLiteral("Written");
    case ExportOutcome::Skipped: return QStringLiteral("Skipped: the output file already exists");
    case ExportOutcome::Failed: break;
    }
    return QStringLiteral("Failed: ") + QString::fromUtf8(plainWords(result.reason));
}

QString ExportReportModel::headline() const {
    return _report.wasCanceled() ? QStringLiteral("Export stopped") : QStringLiteral("Export finished");
}

QString ExportReportModel::countsText() const {
    return QString::fromStdString(_report.countsText());
}

QString ExportReportModel::plainText() const {
    QString text = headline() + QLatin1Char('\n') + countsText() + QLatin1Char('\n');
    for (const ExportRecordResult& result : _rows) {
        text += displayTextForFileName(result.inputPath) + QLatin1Char('\t') + resultText(result) + QLatin1Char('\n');
    }
    return text;
}

std::string ExportReportModel::folderURL() const {
    return fileURLForFolder(_folder);
}

int ExportReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(_rows.size());
}

int ExportReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ExportReportModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    const ExportRecordResult& result = _rows[static_cast<std::size_t>(index.row())];
    if (index.column() == FileColumn) {
        return displayTextForFileName(role == Qt::DisplayRole ? path::lastPathComponent(result.inputPath) : result.inputPath);
    }
    return role == Qt::DisplayRole ? resultText(result) : displayTextForFileName(result.outputPath);
}

QVariant ExportReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    return section == FileColumn ? QStringLiteral("File") : QStringLiteral("Result");
}

} // namespace pellora
