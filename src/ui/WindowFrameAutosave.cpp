#include "ui/WindowFrameAutosave.h"

#include <QByteArray>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace pellora {

WindowFrameAutosave::WindowFrameAutosave(QWidget* window, std::string frameName, UserDefaults& defaults)
    : QObject(window), _window(window), _frameName(std::move(frameName)), _defaults(defaults) {
    _saveTimer.setSingleShot(true);
    _saveTimer.setInterval(300);
    connect(&_saveTimer, &QTimer::timeout, this, &WindowFrameAutosave::saveFrame);
    window->installEventFilter(this);
}

bool WindowFrameAutosave::setFrameUsingName() {
    const PlistValue saved = _defaults.objectForKey(_frameName);
    if (saved.type() != PlistValue::Type::Data || saved.dataValue().empty()) {
        return false;
    }
    const PlistData& bytes = saved.dataValue();
    return _window->restoreGeometry(
        QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
}

void WindowFrameAutosave::saveFrame() {
    const QByteArray geometry = _window->saveGeometry();
    PlistData bytes(geometry.begin(), geometry.end());
    if (_defaults.objectForKey(_frameName) != PlistValue(bytes)) {
        _defaults.setObject(PlistValue(std::move(bytes)), _frameName);
    }
}

void WindowFrameAutosave::center(QWidget* window) {
    QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

bool WindowFrameAutosave::eventFilter(QObject* watched, QEvent* event) {
    if (watched == _window) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            if (_window->isVisible()) {
                _saveTimer.start();
            }
            break;
        case QEvent::Hide:
            _saveTimer.stop();
            saveFrame();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace pellora
