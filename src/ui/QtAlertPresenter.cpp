#include "ui/QtAlertPresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace pellora {

int QtAlertPresenter::runModal(const Alert& alert) {
    int choice = -1;
    if (!_closed) {
        _mainThread.postAndWait([this, &alert, &choice] { choice = runOnMainThread(alert); });
    }
    return choice;
}

int QtAlertPresenter::runOnMainThread(const Alert& alert) const {
    if (_closed || alert.buttonTitles.empty()) {
        return -1;
    }
    QMessageBox box(QApplication::activeWindow());
    box.setObjectName(QStringLiteral("alert"));
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(QApplication::applicationName());
    box.setIcon(QMessageBox::Information);
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    // The first button is the default one; with more, the last one is also Escape's.
    QList<QPushButton*> buttons;
    for (std::size_t index = 0; index < alert.buttonTitles.size(); ++index) {
        const bool first = index == 0;
        const bool last = index + 1 == alert.buttonTitles.size();
        const QMessageBox::ButtonRole role =
            first ? QMessageBox::AcceptRole : (last ? QMessageBox::RejectRole : QMessageBox::DestructiveRole);
        buttons << box.addButton(QString::fromStdString(alert.buttonTitles[index]), role);
    }
    box.setDefaultButton(buttons.first());
    box.setEscapeButton(buttons.last());
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
    return static_cast<int>(buttons.indexOf(box.clickedButton()));
}

} // namespace pellora
