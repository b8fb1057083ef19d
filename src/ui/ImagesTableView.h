#pragma once

#include <QTableView>

class QMimeData;

namespace pellora {

// Decides about drops on the source list table (the main controller).
class ImagesTableDropDelegate {
public:
    virtual ~ImagesTableDropDelegate() = default;
    // Qt::CopyAction when the drag would add something, else Qt::IgnoreAction.
    virtual Qt::DropAction validateDrop(const QMimeData& data) = 0;
    virtual bool acceptDrop(const QMimeData& data) = 0;
};

// The source list table. Every drop targets the table as a whole, never a row
// or a gap between rows, so no drop indicator is drawn. While the table is
// disabled Qt delivers it no mouse events, so clicks and drags change nothing.
class ImagesTableView : public QTableView {
    Q_OBJECT

public:
    explicit ImagesTableView(QWidget* parent = nullptr);

    void setDropDelegate(ImagesTableDropDelegate* delegate) { _dropDelegate = delegate; }

signals:
    // A double click anywhere in the table, on a row or below the last one.
    void tableDoubleClicked();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    ImagesTableDropDelegate* _dropDelegate = nullptr;
    // Judged once when the drag enters (a folder is listed then), reused while it moves.
    Qt::DropAction _proposedAction = Qt::IgnoreAction;
};

} // namespace pellora
