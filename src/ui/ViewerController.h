#pragma once

#include <QObject>
#include <QThreadPool>
#include <memory>

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Geometry.h"

class QLabel;
class QWidget;
namespace Ui {
class Viewer;
}

namespace pellora {

class PelloraImage;
class ScaledImageView;
class WindowFrameAutosave;

// Whoever can tell the viewer which record is selected (the main controller).
class SelectedImageProvider {
public:
    virtual ~SelectedImageProvider() = default;
    virtual std::shared_ptr<PelloraImage> selectedPelloraImage() const = 0;
};

// The viewer window: the selected record's image scaled to fit, its file name
// as the title and the size it is shown at. It follows the selection
// notification and its own resizes; closing the window only hides it. The
// image is read on a worker thread, upright: first its size, for the label,
// then its pixels, decoded at a size that suits the screen.
class ViewerController : public QObject {
    Q_OBJECT

public:
    explicit ViewerController(SelectedImageProvider& controller);
    ~ViewerController() override;

    // The size the label reports for an image of imageSize pixels in a view
    // of viewBounds points: the image's own size when it fits; otherwise the
    // side with the larger overhang is fitted.
    static Size shownSize(Size viewBounds, Size imageSize);

    void update();
    void showWindow();
    QWidget* window() const { return _window.get(); }
    SelectedImageProvider& controller() const { return _controller; }

    // Widgets from the layout "Viewer".
    ScaledImageView* imageView = nullptr;
    QLabel* noImageSelectedTextField = nullptr;
    QLabel* resolutionTextField = nullptr;

signals:
    // The decoded picture of the shown record has been put into the image view.
    void imageShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void finishSetup();
    void loadImage(const std::shared_ptr<PelloraImage>& record);
    // The label for the shown record's upright size, once that is known.
    void updateSizeLabel();

    SelectedImageProvider& _controller;
    std::unique_ptr<QWidget> _window;
    std::unique_ptr<Ui::Viewer> _ui;
    WindowFrameAutosave* _frameAutosave = nullptr;
    NotificationCenter::Token _selectionObserver = 0;
    QThreadPool _decoder;
};

} // namespace pellora
