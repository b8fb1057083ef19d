// The desktop application: the main window around the source list and the jobs.
#include <QApplication>

#include "app/MainController.h"
#include "app/MainWindow.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pellora"));
    QApplication::setApplicationVersion(QStringLiteral(PELLORA_VERSION));
    // The main window decides when the run ends (never while a job runs).
    QApplication::setQuitOnLastWindowClosed(false);

    pellora::MainController controller;
    QObject::connect(controller.window(), &pellora::MainWindow::terminateRequested, &application,
                     &QCoreApplication::quit, Qt::QueuedConnection);
    controller.window()->show();
    controller.applicationDidFinishLaunching();
    return QApplication::exec();
}
