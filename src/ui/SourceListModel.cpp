#include "ui/SourceListModel.h"

#include <QSize>
#include <QStringList>
#include <QTextDocument>

#include "jobs/ExportReport.h"
#include "model/PelloraImage.h"
#include "ui/FileNameText.h"
#include "ui/Identifiers.h"
#include "ui/ThumbnailCache.h"

namespace pellora {

SourceListModel::SourceListModel(ThumbnailCache& thumbnails, QObject* parent)
    : QAbstractTableModel(parent), _thumbnails(thumbnails) {
    connect(&_thumbnails, &ThumbnailCache::pixelSizeReady, this, &SourceListModel::pixelSizeArrived);
    connect(&_thumbnails, &ThumbnailCache::thumbnailReady, this, &SourceListModel::thumbnailArrived);
}

void SourceListModel::reload(std::vector<PelloraImagePtr> snapshot) {
    beginResetModel();
    _snapshot = std::move(snapshot);
    _rowOfRecord.clear();
    _rowOfRecord.reserve(_snapshot.size());
    for (std::size_t row = 0; row < _snapshot.size(); ++row) {
        _rowOfRecord.emplace(_snapshot[row].get(), static_cast<int>(row));
    }
    endResetModel();
    _thumbnails.keepOnlyRecords(_snapshot);
}

PelloraImagePtr SourceListModel::recordAtRow(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= _snapshot.size()) {
        return nullptr;
    }
    return _snapshot[static_cast<std::size_t>(row)];
}

int SourceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(_snapshot.size());
}

int SourceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SourceListModel::data(const QModelIndex& index, int role) const {
    const PelloraImagePtr record = index.isValid() ? recordAtRow(index.row()) : nullptr;
    if (!record) {
        return {};
    }
    if (role == ExportFailureRole) {
        const ExportFailureReason failure = record->lastExportFailure();
        return failure == ExportFailureReason::None ? QVariant() : QVariant(QString::fromUtf8(plainWords(failure)));
    }
    if (role == Qt::ToolTipRole) {
        return toolTipForRecord(*record);
    }
    switch (index.column()) {
    case IconColumn:
        if (role == Qt::DecorationRole || role == ThumbnailSizeRole) {
            const ThumbnailCache::Thumbnail* thumbnail = _thumbnails.thumbnailForRecord(record);
            if (thumbnail == nullptr) {
                return {};
            }
            return role == Qt::DecorationRole ? QVariant(thumbnail->image) : QVariant(thumbnail->size);
        }
        return {};
    case NameColumn:
        return role == Qt::DisplayRole ? QVariant(displayTextForFileName(record->inputName())) : QVariant();
    case SizeColumn:
        return sizeData(record, role);
    default:
        return {};
    }
}

QVariant SourceListModel::sizeData(const PelloraImagePtr& record, int role) const {
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    // Read from the header off the main thread; nothing shows until it is known,
    // nor for a file that cannot be read.
    const std::optional<QSize> size = _thumbnails.pixelSizeForRecord(record);
    if (!size || size->isEmpty()) {
        return {};
    }
    return QStringLiteral("%1 x %2").arg(size->width()).arg(size->height());
}

// Plain text, one line per fact about the row's file; forced to show as plain
// text, so that a file name that looks like markup is shown as it is.
QString SourceListModel::toolTipForRecord(const PelloraImage& record) const {
    QStringList lines{displayTextForFileName(record.inputPath())};
    const ExportFailureReason failure = record.lastExportFailure();
    if (failure != ExportFailureReason::None) {
        lines << QStringLiteral("Not exported: ") + QString::fromUtf8(plainWords(failure));
    }
    return Qt::convertFromPlainText(lines.join(QLatin1Char('\n')), Qt::WhiteSpacePre);
}

QVariant SourceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
    case IconColumn:
        return QString::fromLatin1(QVXTableColumnIdentifier_icon);
    case NameColumn:
        return QString::fromLatin1(QVXTableColumnIdentifier_name);
    case SizeColumn:
        return QString::fromLatin1(QVXTableColumnIdentifier_size);
    default:
        return {};
    }
}

Qt::ItemFlags SourceListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void SourceListModel::pixelSizeArrived(const PelloraImage* record) {
    const auto found = _rowOfRecord.find(record);
    if (found != _rowOfRecord.end()) {
        const QModelIndex cell = index(found->second, SizeColumn);
        emit dataChanged(cell, cell, {Qt::DisplayRole});
    }
}

void SourceListModel::thumbnailArrived(const PelloraImage* record) {
    const auto found = _rowOfRecord.find(record);
    if (found != _rowOfRecord.end()) {
        const QModelIndex cell = index(found->second, IconColumn);
        emit dataChanged(cell, cell, {Qt::DecorationRole, ThumbnailSizeRole});
    }
}

} // namespace pellora
