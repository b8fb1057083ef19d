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
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (_isBusy && _isBusy()) {
        event->ignore();
        QApplication::beep();
        emit closeRefusedWhileBusy();
        return;
    }
    // The window really closes before the application is asked to end: the
    // application's quit closes every visible window first, and a window that
    // refused again would turn that into an endless round of close and quit.
    event->accept();
    emit terminateRequested();
}

} // namespace pellora
