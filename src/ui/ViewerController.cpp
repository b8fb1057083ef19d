#include "ui/ViewerController.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMetaObject>
#include <QScreen>
#include <QWidget>
#include <cstdio>

#include "model/PelloraImage.h"
#include "model/RecordReadOnce.h"
#include "model/SettingsKeys.h"
#include "ui/BackgroundPriority.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/Identifiers.h"
#include "ui/ScaledImageView.h"
#include "ui/ScreenImageDecoder.h"
#include "ui/WindowCloseShortcuts.h"
#include "ui/WindowFrameAutosave.h"
#include "ui_Viewer.h"

namespace pellora {

ViewerController::ViewerController(SelectedImageProvider& controller)
    : _controller(controller), _window(std::make_unique<QWidget>()), _ui(std::make_unique<Ui::Viewer>()) {
    _ui->setupUi(_window.get());
    imageView = _ui->imageView;
    noImageSelectedTextField = _ui->noImageSelectedTextField;
    resolutionTextField = _ui->resolutionTextField;
    _decoder.setMaxThreadCount(1);
    addWindowCloseShortcuts(_window.get());
    finishSetup();
    _selectionObserver = NotificationCenter::defaultCenter().addObserver(
        QVXNotification_selectedImageDidChange, [this](const std::string&, const PlistValue&) { update(); });
}

ViewerController::~ViewerController() {
    NotificationCenter::defaultCenter().removeObserver(_selectionObserver);
    imageView->removeEventFilter(this);
    _decoder.clear();
    _decoder.waitForDone();
}

void ViewerController::finishSetup() {
    _frameAutosave = new WindowFrameAutosave(_window.get(), QVXDefaultsKey_viewerFrame, UserDefaults::standard());
    if (!_frameAutosave->setFrameUsingName()) {
        WindowFrameAutosave::center(_window.get());
    }
    // The image view's bounds follow the window's; its resize is the window's, laid out.
    imageView->installEventFilter(this);
}

Size ViewerController::shownSize(Size viewBounds, Size imageSize) {
    const float bw = viewBounds.width;
    const float bh = viewBounds.height;
    const float iw = imageSize.width;
    const float ih = imageSize.height;
    if (bw >= iw && bh >= ih) {
        return {iw, ih};
    }
    const float dw = iw - bw;
    const float dh = ih - bh;
    if (dw > dh) {
        return {bw, bw / iw * ih};
    }
    if (dh >= dw) {
        return {bh / ih * iw, bh};
    }
    return {iw, ih};
}

void ViewerController::update() {
    const std::shared_ptr<PelloraImage> record = _controller.selectedPelloraImage();
    if (!record) {
        imageView->hide();
        noImageSelectedTextField->show();
        return;
    }
    noImageSelectedTextField->hide();
    imageView->show();
    const QString title = QString::fromStdString(record->inputName());
    if (_window->windowTitle() != title) {
        _window->setWindowTitle(title);
    }
    if (imageView->record() != record) {
        imageView->setRecord(record);
        loadImage(record);
    }
    updateSizeLabel();
}

void ViewerController::updateSizeLabel() {
    const QSizeF imageSize = imageView->imageSize();
    // Not read yet: another record's size would be wrong, so none is shown.
    if (!imageSize.isValid()) {
        resolutionTextField->clear();
        return;
    }
    const Size bounds{static_cast<float>(imageView->width()), static_cast<float>(imageView->height())};
    const Size shown =
        shownSize(bounds, {static_cast<float>(imageSize.width()), static_cast<float>(imageSize.height())});
    // The C library rounds an exact half to the even neighbour; Qt's formatter would not.
    char label[64];
    std::snprintf(label, sizeof label, "Current Size: %.f x %.f", static_cast<double>(shown.width),
                  static_cast<double>(shown.height));
    resolutionTextField->setText(QString::fromLatin1(label));
}

void ViewerController::loadImage(const std::shared_ptr<PelloraImage>& record) {
    QScreen* screen = _window->screen() != nullptr ? _window->screen() : QGuiApplication::primaryScreen();
    const QSize screenPixels = screen != nullptr
                                   ? (QSizeF(screen->availableSize()) * screen->devicePixelRatio()).toSize()
                                   : QSize(1920, 1080);
    // A newer selection makes a waiting decode pointless; one already running finishes and is dropped.
    _decoder.clear();
    _decoder.start([this, record, screenPixels] {
        lowerCurrentThreadPriority();
        // The size, the orientation and the pixels come from one read of the file.
        const RecordReadOnce fileReadOnce(*record);
        // The upright size comes from the header, before the slower decode.
        const Size upright = record->uprightInputSize();
        QMetaObject::invokeMethod(
            this,
            [this, record, upright] {
                if (imageView->record() == record) {
                    imageView->setImageSize(QSizeF(upright.width, upright.height));
                    updateSizeLabel();
                }
            },
            Qt::QueuedConnection);
        QImage image = decodeImageForScreen(*record, screenPixels);
        QMetaObject::invokeMethod(
            this,
            [this, record, image = std::move(image)]() mutable {
                if (imageView->record() == record) {
                    imageView->setImage(std::move(image));
                    emit imageShown();
                }
            },
            Qt::QueuedConnection);
    });
}

void ViewerController::showWindow() {
    update();
    _window->show();
    _window->raise();
    _window->activateWindow();
}

bool ViewerController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == imageView && event->type() == QEvent::Resize) {
        update();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace pellora
