#include "ui/ThumbnailCell.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "ui/SourceListModel.h"

namespace pellora {

void ThumbnailCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.icon = QIcon();
    background.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const QPointF centre = QRectF(option.rect).center();
    const QImage image = index.data(Qt::DecorationRole).value<QImage>();
    const QSizeF size = index.data(SourceListModel::ThumbnailSizeRole).toSizeF();
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    if (!image.isNull() && size.isValid()) {
        QRectF target(QPointF(0, 0), size);
        target.moveCenter(centre);
        painter->drawImage(target, image);
    } else {
        QRectF square(0, 0, thumbnailSide, thumbnailSide);
        square.moveCenter(centre);
        painter->setPen(QPen(QColor(0, 0, 0, 40), 1.0));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(square.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    if (index.data(SourceListModel::ExportFailureRole).isValid()) {
        drawErrorBadge(painter, QRectF(option.rect));
    }
    painter->restore();
}

void ThumbnailCell::drawErrorBadge(QPainter* painter, const QRectF& cell) {
    // A red disc with a white exclamation mark, over the thumbnail's lower right corner.
    constexpr qreal diameter = 16.0;
    const QRectF disc(cell.right() - diameter - 3.0, cell.bottom() - diameter - 3.0, diameter, diameter);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(Qt::white, 1.5));
    painter->setBrush(QColor(204, 36, 29));
    painter->drawEllipse(disc);
    QFont font = painter->font();
    font.setBold(true);
    font.setPixelSize(12);
    painter->setFont(font);
    painter->setPen(Qt::white);
    painter->drawText(disc, Qt::AlignCenter, QStringLiteral("!"));
}

QSize ThumbnailCell::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return QSize(static_cast<int>(thumbnailSide) + 4, static_cast<int>(thumbnailSide) + 4);
}

} // namespace pellora
