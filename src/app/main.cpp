// The desktop application: the main window around the source list and the jobs.
// Files named on the command line are opened with it; when Pellora already
// runs, they are handed to that instance and this launch ends.
#include <QApplication>
#include <QIcon>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <optional>
#include <unistd.h>

#include "app/LaunchOptions.h"
#include "app/MainController.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "platform/foundation/AllocatorTuning.h"
#include "platform/foundation/UserDefaults.h"

namespace {

// The arguments Qt left, as absolute paths (bytes, as the file system has
// them); the first "--" only marks the end of the options.
std::vector<std::string> absolutePathArguments(int argc, char* argv[]) {
    std::string folder(PATH_MAX, '\0');
    if (::getcwd(folder.data(), folder.size()) == nullptr) folder.clear();
    folder.resize(std::char_traits<char>::length(folder.c_str()));
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string path = argv[i];
        if (path.empty()) continue;
        if (!optionsEnded && path == "--") {
            optionsEnded = true;
            continue;
        }
        paths.push_back(path.front() == '/' ? path : folder + "/" + path);
    }
    return paths;
}

// Runs the main window until the application ends, and returns the exit status.
int runMainWindow(QApplication& application, pellora::TerminationSignals& terminationSignals,
                  pellora::SingleInstance& instance, const std::vector<std::string>& paths) {
    pellora::MainController controller;
    // The window has closed when it asks for the end, so the quit finds no window that could refuse.
    QObject::connect(controller.window(), &pellora::MainWindow::terminateRequested, &application,
                     &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&terminationSignals, &pellora::TerminationSignals::received, &controller,
                     &pellora::MainController::terminateWhenIdle);
    instance.setFilesHandler([&controller](const std::vector<std::string>& received) {
        if (!received.empty()) controller.openFiles(received);
        pellora::MainWindow* window = controller.window();
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
        window->raise();
        window->activateWindow();
    });
    controller.window()->show();
    // Files given at launch arrive before the launch has finished, as on a desktop that opens them with us.
    if (!paths.empty()) controller.openFiles(paths);
    controller.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    instance.setFilesHandler(nullptr);
    return status;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = pellora::answerInformationalOptions(argc, argv, stdout)) {
        return *status;
    }
    pellora::keepLargeBuffersForReuse();
    QApplication application(argc, argv);
    // Made at once, so a termination signal that comes during start-up waits for the event loop.
    pellora::TerminationSignals terminationSignals;
    QApplication::setApplicationName(QStringLiteral("Pellora"));
    QApplication::setApplicationVersion(QStringLiteral(PELLORA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.pellora.Pellora"));
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        icon.addFile(QStringLiteral(":/icons/org.pellora.Pellora-%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
    // The main window decides when the run ends (never while a job runs).
    QApplication::setQuitOnLastWindowClosed(false);

    const std::vector<std::string> paths = absolutePathArguments(argc, argv);
    pellora::SingleInstance instance;
    switch (instance.claim(paths)) {
    case pellora::SingleInstance::Role::Forwarded:
        return 0;
    case pellora::SingleInstance::Role::Failed:
        return 1;
    case pellora::SingleInstance::Role::Primary:
        break;
    }

    const int status = runMainWindow(application, terminationSignals, instance, paths);
    // The controller's end saved the window frames: put them, with every other setting, on disk now.
    pellora::UserDefaults::standard().synchronize();
    return status;
}
