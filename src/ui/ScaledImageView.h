#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

namespace pellora {

class PelloraImage;

// Shows one record's image scaled down to fit (never enlarged), keeping its
// proportions, centred. The view remembers which record it holds, so that a
// refresh for the same record keeps the picture; the picture itself arrives
// later, once it has been decoded off the main thread.
class ScaledImageView : public QWidget {
    Q_OBJECT

public:
    explicit ScaledImageView(QWidget* parent = nullptr);

    const std::shared_ptr<PelloraImage>& record() const { return _record; }
    // Takes the record and clears the picture and its size until they arrive.
    void setRecord(std::shared_ptr<PelloraImage> record);
    // The record's full upright pixel size, which the picture (possibly decoded
    // smaller) stands for; known before the picture is. Invalid until then.
    void setImageSize(QSizeF imageSize);
    const QSizeF& imageSize() const { return _imageSize; }
    void setImage(QImage image);
    const QImage& image() const { return _image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<PelloraImage> _record;
    QImage _image;
    QSizeF _imageSize;
};

} // namespace pellora
