#include "ui/ToolbarIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace pellora {

namespace {

// Each picture is drawn on a 32 x 32 grid; the painter is scaled to the target.
using Drawing = std::function<void(QPainter&)>;

void drawPhoto(QPainter& painter) {
    painter.setPen(QPen(QColor(70, 70, 70), 1.5));
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRoundedRect(QRectF(3, 6, 22, 18), 2, 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(120, 180, 230));
    painter.drawRect(QRectF(5.5, 8.5, 17, 13));
    QPainterPath hills;
    hills.moveTo(5.5, 21.5);
    hills.lineTo(11, 14);
    hills.lineTo(15, 18);
    hills.lineTo(18, 15.5);
    hills.lineTo(22.5, 21.5);
    hills.closeSubpath();
    painter.setBrush(QColor(80, 150, 80));
    painter.drawPath(hills);
    painter.setBrush(QColor(250, 210, 70));
    painter.drawEllipse(QPointF(18.5, 11.5), 1.8, 1.8);
}

void drawBadge(QPainter& painter, const QColor& colour, bool plus) {
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(23, 23), 7.5, 7.5);
    painter.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(19, 23), QPointF(27, 23));
    if (plus) {
        painter.drawLine(QPointF(23, 19), QPointF(23, 27));
    }
}

void drawAdd(QPainter& painter) {
    drawPhoto(painter);
    drawBadge(painter, QColor(40, 160, 60), true);
}

void drawRemove(QPainter& painter) {
    drawPhoto(painter);
    drawBadge(painter, QColor(210, 50, 40), false);
}

void drawClear(QPainter& painter) {
    painter.setPen(QPen(QColor(70, 70, 70), 1.5));
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRoundedRect(QRectF(4, 3, 20, 25), 2, 2);
    painter.setPen(QPen(QColor(150, 150, 150), 2, Qt::SolidLine, Qt::RoundCap));
    for (const double y : {9.0, 14.0, 19.0}) {
        painter.drawLine(QPointF(8, y), QPointF(20, y));
    }
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(QColor(210, 50, 40));
    painter.drawEllipse(QPointF(23, 23), 7.5, 7.5);
    painter.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(20, 20), QPointF(26, 26));
    painter.drawLine(QPointF(26, 20), QPointF(20, 26));
}

void drawView(QPainter& painter) {
    drawPhoto(painter);
    painter.setPen(QPen(QColor(50, 50, 50), 2.5));
    painter.setBrush(QColor(255, 255, 255, 150));
    painter.drawEllipse(QPointF(21, 20), 6, 6);
    painter.setPen(QPen(QColor(50, 50, 50), 3.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(25.5, 24.5), QPointF(30, 29));
}

// Three slider tracks with their knobs: the general settings.
void drawGeneralPreferences(QPainter& painter) {
    painter.setPen(QPen(QColor(70, 70, 70), 1.5));
    painter.setBrush(QColor(245, 245, 245));
    painter.drawRoundedRect(QRectF(2.5, 2.5, 27, 27), 5, 5);
    const double knobs[] = {20, 10, 16};
    for (int row = 0; row < 3; ++row) {
        const double y = 9.5 + row * 6.5;
        painter.setPen(QPen(QColor(150, 150, 150), 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(7, y), QPointF(25, y));
        painter.setPen(QPen(QColor(50, 90, 160), 1.2));
        painter.setBrush(QColor(90, 150, 230));
        painter.drawEllipse(QPointF(knobs[row], y), 2.8, 2.8);
    }
}

// An arrow coming down into a tray: a new version to fetch.
void drawUpdatePreferences(QPainter& painter) {
    painter.setPen(QPen(QColor(30, 100, 60), 1.5));
    painter.setBrush(QColor(60, 170, 90));
    painter.drawEllipse(QPointF(16, 16), 13.5, 13.5);
    painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(QPointF(16, 8), QPointF(16, 19));
    painter.setBrush(Qt::NoBrush);
    QPainterPath head;
    head.moveTo(11, 15);
    head.lineTo(16, 20);
    head.lineTo(21, 15);
    painter.drawPath(head);
    painter.drawLine(QPointF(10, 24), QPointF(22, 24));
}

// Paints the drawing into pixmaps of exactly the asked size, so that a 2x
// screen gets a picture drawn at 64 x 64 rather than an enlarged 32 x 32 one.
class VectorIconEngine final : public QIconEngine {
public:
    explicit VectorIconEngine(Drawing drawing) : _drawing(std::move(drawing)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 32.0, rect.height() / 32.0);
        if (mode == QIcon::Disabled) {
            painter->setOpacity(0.4);
        }
        _drawing(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new VectorIconEngine(_drawing); }

    // Qt hands in the size in device pixels already.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        QPixmap scaled = pixmap(size, mode, state);
        scaled.setDevicePixelRatio(scale);
        return scaled;
    }

private:
    Drawing _drawing;
};

} // namespace

QIcon imageNamed(const QString& name) {
    Drawing drawing;
    if (name == QLatin1String("addIcon32")) {
        drawing = drawAdd;
    } else if (name == QLatin1String("viewIcon32")) {
        drawing = drawView;
    } else if (name == QLatin1String("removeIcon32")) {
        drawing = drawRemove;
    } else if (name == QLatin1String("clearIcon32")) {
        drawing = drawClear;
    } else if (name == QLatin1String("prefIcon_general")) {
        drawing = drawGeneralPreferences;
    } else if (name == QLatin1String("prefIcon_update")) {
        drawing = drawUpdatePreferences;
    } else {
        return QIcon();
    }
    return QIcon(new VectorIconEngine(std::move(drawing)));
}

} // namespace pellora
