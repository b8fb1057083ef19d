#pragma once

#include <QMainWindow>
#include <functional>

class QAction;

namespace pellora {

// The main window. Closing it, by its close box, the Close command or Quit,
// ends the application, except while a job runs: then it only beeps and stays.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Answers whether an import or an export runs (the main controller).
    void setBusyQuery(std::function<bool()> isBusy) { _isBusy = std::move(isBusy); }
    void setCloseMenuItem(QAction* item) { closeMenuItem = item; }

    // false for the close menu item while busy; true for anything else.
    bool validateMenuItem(const QAction* item) const;
    // Beeps while busy, else closes the window, which ends the application.
    void performClose();

    QAction* closeMenuItem = nullptr;

signals:
    void closeRefusedWhileBusy();
    // The window has closed: the application should end.
    void terminateRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<bool()> _isBusy;
};

} // namespace pellora
