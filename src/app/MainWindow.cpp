#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>

namespace pellora {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {}

bool MainWindow::validateMenuItem(const QAction* item) const {
    if (item == closeMenuItem) {
        return !(_isBusy && _isBusy());
    }
    return true;
}

void MainWindow::performClose() {
    if (_isBusy && _isBusy()) {
        QApplication::beep();
        emit closeRefusedWhileBusy();
        return;
    }
    emit terminateRequested();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window never closes by itself: it either refuses or the application ends.
    event->ignore();
    performClose();
}

} // namespace pellora
