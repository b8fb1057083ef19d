#include "ui/PelloraImageNameCell.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>

namespace pellora {

QFont PelloraImageNameCell::nameFont() {
    QFont font = QApplication::font();
    font.setPointSizeF(12.0);
    return font;
}

QPointF PelloraImageNameCell::textOrigin(const QRectF& frame, qreal textHeight) {
    return QPointF(frame.x() + 2.0, frame.y() + frame.height() * 0.5 - textHeight * 0.5);
}

void PelloraImageNameCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    // The row's background and selection as the style draws them, without text.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const QString name = index.data(Qt::DisplayRole).toString();
    const QFont font = nameFont();
    const QFontMetricsF metrics(font);
    const QPointF origin = textOrigin(QRectF(option.rect), metrics.height());
    painter->save();
    painter->setClipping(false);
    painter->setFont(font);
    painter->setPen(Qt::black);
    painter->drawText(QPointF(origin.x(), origin.y() + metrics.ascent()), name);
    painter->restore();
}

} // namespace pellora
