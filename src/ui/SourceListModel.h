#pragma once

#include <QAbstractTableModel>
#include <unordered_map>
#include <vector>

#include "jobs/SourceList.h"

namespace pellora {

class ThumbnailCache;

// The source list as the table shows it: a snapshot of the records taken at
// each reload, so rows that a job removes meanwhile still draw (their records
// stay alive in the snapshot) until the next reload. Column 0 is the thumbnail,
// column 1 the file name, column 2 the upright pixel size once read; every
// cell of a row has the file's full path as its tool tip. Drops are handled by
// the view for the table as a whole, so no item accepts one. A record whose
// last export failed also has the reason in its tool tip and in
// ExportFailureRole (the thumbnail's badge).
class SourceListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { IconColumn = 0, NameColumn = 1, SizeColumn = 2, ColumnCount = 3 };
    // The thumbnail's unrounded size (QSizeF) in the icon column.
    static constexpr int ThumbnailSizeRole = Qt::UserRole + 1;
    // Why the record's last export failed, in plain words (QString); no value when it has not failed.
    static constexpr int ExportFailureRole = Qt::UserRole + 2;

    SourceListModel(ThumbnailCache& thumbnails, QObject* parent = nullptr);

    void reload(std::vector<PelloraImagePtr> snapshot);
    // The record shown at row, or null outside the snapshot.
    PelloraImagePtr recordAtRow(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QVariant sizeData(const PelloraImagePtr& record, int role) const;
    QString toolTipForRecord(const PelloraImage& record) const;
    void pixelSizeArrived(const PelloraImage* record);
    void thumbnailArrived(const PelloraImage* record);

    ThumbnailCache& _thumbnails;
    std::vector<PelloraImagePtr> _snapshot;
    std::unordered_map<const PelloraImage*, int> _rowOfRecord;
};

} // namespace pellora
