#pragma once

#include <QStyledItemDelegate>

namespace pellora {

// Draws a record's file name: the system font at 12 points, 2 points in from
// the cell's left edge, centred vertically, in black in selected rows too, and
// neither clipped nor shortened, so a long name runs on past the cell.
class PelloraImageNameCell : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QFont nameFont();
    // Where the text's top-left corner goes in a cell of this frame.
    static QPointF textOrigin(const QRectF& frame, qreal textHeight);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace pellora
