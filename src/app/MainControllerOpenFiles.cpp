// Files opened with the application (arguments, a later launch, the Add
// Recent submenu) and the submenu itself.
#include <QAction>
#include <QFile>
#include <QMenu>

#include "app/MainController.h"
#include "app/MainWindow.h"
#include "platform/foundation/Paths.h"
#include "ui_MainWindow.h"

namespace pellora {
namespace {

// The submenu's length; the file keeps many more.
constexpr std::size_t kRecentMenuItems = 20;

} // namespace

bool MainController::openFile(const std::string& path) {
    if (!BatchController::pathPointsToImageFile(path) && BatchController::imageFilePathsInDirectory(path).empty()) {
        return false;
    }
    _batch->importImageFilesAtPaths({path});
    return true;
}

void MainController::openFiles(const std::vector<std::string>& paths) {
    _batch->importImageFilesAtPaths(paths);
}

void MainController::setupRecentMenu() {
    _addRecentMenu = new QMenu(QStringLiteral("Add &Recent"), _ui->fileMenu);
    _addRecentMenu->setObjectName(QStringLiteral("addRecentMenu"));
    addRecentMenuItem = _addRecentMenu->menuAction();
    addRecentMenuItem->setObjectName(QStringLiteral("addRecentMenuItem"));
    _ui->fileMenu->insertMenu(exportMenuItem, _addRecentMenu);
    connect(addRecentMenuItem, &QAction::triggered, this, [this] {
        if (validateMenuItem(addRecentMenuItem)) addRecentTargetDummy();
    });
    connect(_addRecentMenu, &QMenu::aboutToShow, this, &MainController::fillRecentMenu);
}

void MainController::fillRecentMenu() {
    _addRecentMenu->clear();
    // The list as it will be once the writes already asked for are done: a
    // write is one small file, and the menu should not show a cleared list.
    _recentDocuments->waitUntilWritten();
    const std::vector<std::string> paths = _recentDocuments->recentDocumentPaths(kRecentMenuItems);
    for (const std::string& path : paths) {
        const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
        QAction* item = _addRecentMenu->addAction(QFile::decodeName(path::lastPathComponent(path).c_str()));
        item->setToolTip(QFile::decodeName(bytes));
        connect(item, &QAction::triggered, this, [this, path] {
            if (validateMenuItem(addRecentMenuItem)) openFile(path);
        });
    }
    if (!paths.empty()) _addRecentMenu->addSeparator();
    QAction* clear = _addRecentMenu->addAction(QStringLiteral("Clear Menu"));
    clear->setObjectName(QStringLiteral("clearRecentMenuItem"));
    clear->setEnabled(!paths.empty());
    connect(clear, &QAction::triggered, this, [this] { _recentDocuments->clearRecentDocuments(); });
}

} // namespace pellora
