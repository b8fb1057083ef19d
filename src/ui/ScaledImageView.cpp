#include "ui/ScaledImageView.h"

#include <QPainter>

#include "model/PelloraImage.h"

namespace pellora {

ScaledImageView::ScaledImageView(QWidget* parent) : QWidget(parent) {}

void ScaledImageView::setRecord(std::shared_ptr<PelloraImage> record) {
    _record = std::move(record);
    _image = QImage();
    _imageSize = QSizeF();
    update();
}

void ScaledImageView::setImageSize(QSizeF imageSize) {
    _imageSize = imageSize;
    update();
}

void ScaledImageView::setImage(QImage image) {
    _image = std::move(image);
    update();
}

void ScaledImageView::paintEvent(QPaintEvent*) {
    if (_image.isNull() || _imageSize.isEmpty()) {
        return;
    }
    const QSizeF bounds = size();
    QSizeF shown = _imageSize;
    if (shown.width() > bounds.width() || shown.height() > bounds.height()) {
        shown = _imageSize.scaled(bounds, Qt::KeepAspectRatio);
    }
    QRectF target(QPointF(0, 0), shown);
    target.moveCenter(QRectF(rect()).center());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, _image);
}

} // namespace pellora
