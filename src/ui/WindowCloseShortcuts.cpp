#include "ui/WindowCloseShortcuts.h"

#include <QAction>
#include <QKeySequence>
#include <QWidget>

namespace pellora {

void addWindowCloseShortcuts(QWidget* window) {
    auto* close = new QAction(window);
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    close->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(close, &QAction::triggered, window, &QWidget::close);
    window->addAction(close);
}

} // namespace pellora
