#pragma once

#include <QStyledItemDelegate>

namespace pellora {

// Draws a record's thumbnail at its unrounded size, centred in the cell; until
// the thumbnail has arrived, an empty square of side 41. A record whose last
// export failed gets an error badge over the corner.
class ThumbnailCell : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr qreal thumbnailSide = 41.0;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    static void drawErrorBadge(QPainter* painter, const QRectF& cell);
};

} // namespace pellora
