#include "ui/ImagesTableView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMouseEvent>

namespace pellora {

ImagesTableView::ImagesTableView(QWidget* parent) : QTableView(parent) {
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(45);
}

void ImagesTableView::dragEnterEvent(QDragEnterEvent* event) {
    _proposedAction = _dropDelegate != nullptr && event->mimeData() != nullptr
                          ? _dropDelegate->validateDrop(*event->mimeData())
                          : Qt::IgnoreAction;
    if (_proposedAction == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(_proposedAction);
    event->accept();
}

void ImagesTableView::dragMoveEvent(QDragMoveEvent* event) {
    if (_proposedAction == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(_proposedAction);
    event->accept(viewport()->rect());
}

void ImagesTableView::dragLeaveEvent(QDragLeaveEvent* event) {
    _proposedAction = Qt::IgnoreAction;
    event->accept();
}

void ImagesTableView::dropEvent(QDropEvent* event) {
    _proposedAction = Qt::IgnoreAction;
    if (_dropDelegate == nullptr || event->mimeData() == nullptr) {
        event->ignore();
        return;
    }
    _dropDelegate->acceptDrop(*event->mimeData());
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ImagesTableView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    emit tableDoubleClicked();
}

} // namespace pellora
