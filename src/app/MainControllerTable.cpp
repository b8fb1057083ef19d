// The source list table: its set-up, reloads, selection, remove and clear, drops.
#include <QAction>
#include <QHeaderView>
#include <QKeySequence>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSignalBlocker>
#include <algorithm>
#include <filesystem>

#include "app/MainController.h"
#include "ui/FileUriList.h"
#include "ui/Identifiers.h"
#include "ui/PelloraImageNameCell.h"
#include "ui/SourceListModel.h"
#include "ui/ThumbnailCache.h"
#include "ui/ThumbnailCell.h"
#include "util/IndexSet.h"

namespace pellora {

void MainController::setupTableView() {
    _thumbnails = new ThumbnailCache(this);
    _tableModel = new SourceListModel(*_thumbnails, this);
    imagesTableView->setModel(_tableModel);
    imagesTableView->setItemDelegateForColumn(SourceListModel::IconColumn, new ThumbnailCell(imagesTableView));
    imagesTableView->setItemDelegateForColumn(SourceListModel::NameColumn, new PelloraImageNameCell(imagesTableView));
    imagesTableView->horizontalHeader()->setSectionResizeMode(SourceListModel::IconColumn, QHeaderView::Fixed);
    imagesTableView->horizontalHeader()->resizeSection(SourceListModel::IconColumn, 49);
    // The name takes the room the pixel size, at the right, leaves.
    imagesTableView->horizontalHeader()->setSectionResizeMode(SourceListModel::NameColumn, QHeaderView::Stretch);
    imagesTableView->horizontalHeader()->resizeSection(
        SourceListModel::SizeColumn, imagesTableView->fontMetrics().horizontalAdvance(QStringLiteral("00000 x 00000")) + 12);
    imagesTableView->setDropDelegate(this);
    connect(imagesTableView, &ImagesTableView::tableDoubleClicked, this, &MainController::tableViewDoubleClicked);
    // Delete and Backspace in the table remove the selected rows, as Remove does (and not during a job).
    auto* removeSelected = new QAction(imagesTableView);
    removeSelected->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)});
    removeSelected->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    imagesTableView->addAction(removeSelected);
    connect(removeSelected, &QAction::triggered, this, [this] {
        if (!_batch->isBusy()) {
            removeToolbarItemClicked();
        }
    });
    connect(imagesTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainController::tableViewSelectionDidChange);
    reloadData();
}

int MainController::numberOfRowsInTableView() {
    const int rows = _tableModel->rowCount();
    // While exporting the label tells the progress instead.
    if (!_batch->isExporting()) {
        numImagesTextField->setText(imagesCountText(rows));
    }
    return rows;
}

QString MainController::imagesCountText(int count) {
    return count == 1 ? QStringLiteral("1 image") : QString::asprintf("%d images", count);
}

void MainController::reloadData() {
    reloadTable(std::nullopt);
}

void MainController::reloadTable(const std::optional<std::vector<int>>& selection) {
    if (_tableModel == nullptr) {
        return;
    }
    // A reset forgets the selection: keep the rows that still exist (or take
    // the given ones), and tell the observers when the selection or the record
    // it starts with has changed.
    const std::vector<int> before = selectedRows();
    const std::shared_ptr<PelloraImage> recordBefore = selectedPelloraImage();
    std::vector<int> after;
    {
        const QSignalBlocker blocker(imagesTableView->selectionModel());
        _tableModel->reload(_batch->pelloraImages().snapshot());
        const int rows = numberOfRowsInTableView();
        const std::vector<int>& wanted = selection ? *selection : before;
        std::copy_if(wanted.begin(), wanted.end(), std::back_inserter(after),
                     [rows](int row) { return row >= 0 && row < rows; });
        selectRows(after);
    }
    imagesTableView->viewport()->update();
    if (after != before || selectedPelloraImage() != recordBefore) {
        tableViewSelectionDidChange();
    } else {
        validateVisibleItems();
    }
}

void MainController::tableViewSelectionDidChange() {
    validateVisibleItems();
    NotificationCenter::defaultCenter().post(QVXNotification_selectedImageDidChange);
}

std::vector<int> MainController::selectedRows() const {
    std::vector<int> rows;
    if (imagesTableView->selectionModel() == nullptr) {
        return rows;
    }
    for (const QModelIndex& index : imagesTableView->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MainController::selectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    for (const int row : rows) {
        selection.select(_tableModel->index(row, 0), _tableModel->index(row, SourceListModel::ColumnCount - 1));
    }
    imagesTableView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

std::shared_ptr<PelloraImage> MainController::selectedPelloraImage() const {
    const std::vector<int> rows = selectedRows();
    return rows.empty() || _tableModel == nullptr ? nullptr : _tableModel->recordAtRow(rows.front());
}

void MainController::removeToolbarItemClicked() {
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) {
        return;
    }
    IndexSet indexes;
    for (const int row : rows) {
        indexes.addIndex(static_cast<std::size_t>(row));
    }
    _batch->pelloraImages().removeObjectsAtIndexes(indexes);
    // One row removed: the row above it takes the selection (the new first row
    // when the first was removed). Several: nothing stays selected.
    reloadTable(rows.size() == 1 ? std::vector<int>{std::max(rows.front() - 1, 0)} : std::vector<int>{});
}

void MainController::clearToolbarItemClicked() {
    _batch->pelloraImages().removeAllObjects();
    reloadData();
}

Qt::DropAction MainController::validateDrop(const QMimeData& data) {
    for (const std::string& path : localPathsOfMimeData(data)) {
        if (BatchController::pathPointsToImageFile(path) ||
            !BatchController::imageFilePathsInDirectory(path).empty()) {
            return Qt::CopyAction;
        }
    }
    return Qt::IgnoreAction;
}

bool MainController::acceptDrop(const QMimeData& data) {
    std::vector<std::string> paths = localPathsOfMimeData(data);
    if (!paths.empty()) {
        _batch->importImageFilesAtPaths(std::move(paths));
    }
    return true;
}

} // namespace pellora
