// The main toolbar: its items, the default arrangement and the actions.
#include <QAction>
#include <QSizePolicy>
#include <QToolBar>
#include <QWidget>

#include "app/MainController.h"
#include "app/MainWindow.h"
#include "ui/Identifiers.h"
#include "ui/ToolbarIcons.h"

namespace pellora {

std::vector<std::string> MainController::toolbarDefaultItemIdentifiers() {
    return {QVXToolbarItemIdentifier_add,   QVXToolbarItemIdentifier_remove,     ToolbarSeparatorItemIdentifier,
            QVXToolbarItemIdentifier_clear, ToolbarFlexibleSpaceItemIdentifier, QVXToolbarItemIdentifier_view};
}

QAction* MainController::itemForItemIdentifier(const std::string& identifier) {
    struct ItemDescription {
        const char* identifier;
        const char* toolTip;
        const char* imageName;
        void (MainController::*action)();
    };
    static const ItemDescription items[] = {
        {QVXToolbarItemIdentifier_add, "Add files to the source images list.", "addIcon32",
         &MainController::addToolbarItemClicked},
        {QVXToolbarItemIdentifier_view, "Open the selected file in the viewer.", "viewIcon32",
         &MainController::viewToolbarItemClicked},
        {QVXToolbarItemIdentifier_remove, "Remove the selected files from the source images list.", "removeIcon32",
         &MainController::removeToolbarItemClicked},
        {QVXToolbarItemIdentifier_clear, "Clear all files from the source images list.", "clearIcon32",
         &MainController::clearToolbarItemClicked},
    };
    for (const ItemDescription& description : items) {
        if (identifier != description.identifier) {
            continue;
        }
        auto* item = new QAction(QString::fromLatin1(description.identifier), _window.get());
        item->setObjectName(QString::fromLatin1(description.identifier));
        item->setIconText(item->text());
        item->setToolTip(QString::fromLatin1(description.toolTip));
        item->setIcon(imageNamed(QString::fromLatin1(description.imageName)));
        const auto action = description.action;
        connect(item, &QAction::triggered, this, [this, item, action] {
            if (validateToolbarItem(item)) {
                (this->*action)();
            }
        });
        return item;
    }
    return nullptr;
}

void MainController::setupToolbar() {
    _toolbar = new QToolBar(_window.get());
    _toolbar->setObjectName(QString::fromLatin1(QVXToolbarIdentifier_main));
    _toolbar->setWindowTitle(QStringLiteral("Toolbar"));
    _toolbar->setMovable(false);
    _toolbar->setFloatable(false);
    _toolbar->setIconSize(QSize(32, 32));
    _toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    _toolbar->toggleViewAction()->setVisible(false);
    for (const std::string& identifier : toolbarDefaultItemIdentifiers()) {
        if (identifier == ToolbarSeparatorItemIdentifier) {
            _toolbar->addSeparator();
        } else if (identifier == ToolbarFlexibleSpaceItemIdentifier || identifier == ToolbarSpaceItemIdentifier) {
            auto* space = new QWidget(_toolbar);
            space->setObjectName(QString::fromStdString(identifier));
            space->setMinimumWidth(16);
            space->setSizePolicy(identifier == ToolbarFlexibleSpaceItemIdentifier ? QSizePolicy::Expanding
                                                                                  : QSizePolicy::Fixed,
                                 QSizePolicy::Preferred);
            _toolbar->addWidget(space);
        } else if (QAction* item = itemForItemIdentifier(identifier)) {
            _toolbar->addAction(item);
        }
    }
    _window->addToolBar(Qt::TopToolBarArea, _toolbar);
}

std::vector<QAction*> MainController::toolbarItems() const {
    std::vector<QAction*> items;
    if (_toolbar != nullptr) {
        for (QAction* action : _toolbar->actions()) {
            // Separators and spaces are unnamed actions.
            if (!action->isSeparator() && !action->objectName().isEmpty()) {
                items.push_back(action);
            }
        }
    }
    return items;
}

void MainController::addToolbarItemClicked() {
    showAddFilesPanel();
}

void MainController::viewToolbarItemClicked() {
    showViewer();
}

} // namespace pellora
