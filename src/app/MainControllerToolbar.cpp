// The main toolbar: its items, the default arrangement and the actions.
#include <QAction>
#include <QMenu>
#include <QWidgetAction>
#include <algorithm>
#include <QSizePolicy>
#include <QToolBar>
#include <QWidget>

#include "app/MainController.h"
#include "app/MainWindow.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/Identifiers.h"
#include "ui/ToolbarCustomizationDialog.h"
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
        auto* item = new QAction(QString::fromLatin1(description.identifier), _toolbar);
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

std::vector<std::string> MainController::toolbarAllowedItemIdentifiers() {
    return {QVXToolbarItemIdentifier_add,       QVXToolbarItemIdentifier_remove, QVXToolbarItemIdentifier_clear,
            QVXToolbarItemIdentifier_view,      ToolbarSeparatorItemIdentifier,  ToolbarSpaceItemIdentifier,
            ToolbarFlexibleSpaceItemIdentifier, ToolbarCustomizeItemIdentifier};
}

std::string MainController::toolbarConfigurationKey() {
    return std::string("Toolbar Configuration ") + QVXToolbarIdentifier_main;
}

void MainController::setupToolbar() {
    setToolbarItemIdentifiers(savedToolbarItemIdentifiers());
}

// The arrangement the user saved, less anything that is not (or no longer) an
// allowed item; the default list when nothing usable was saved.
std::vector<std::string> MainController::savedToolbarItemIdentifiers() {
    const PlistValue saved = UserDefaults::standard().objectForKey(toolbarConfigurationKey());
    if (!saved.isArray()) return toolbarDefaultItemIdentifiers();
    const std::vector<std::string> allowed = toolbarAllowedItemIdentifiers();
    std::vector<std::string> identifiers;
    for (const PlistValue& value : saved.arrayValue()) {
        const std::string identifier = value.stringValue();
        if (std::find(allowed.begin(), allowed.end(), identifier) != allowed.end()) identifiers.push_back(identifier);
    }
    return identifiers;
}

void MainController::setToolbarItemIdentifiers(const std::vector<std::string>& identifiers) {
    // A fresh toolbar replaces the old one, which may be the sender of the
    // request being handled, so it goes later.
    QToolBar* previous = _toolbar;
    _toolbar = new QToolBar(_window.get());
    _toolbar->setObjectName(QString::fromLatin1(QVXToolbarIdentifier_main));
    _toolbar->setWindowTitle(QStringLiteral("Toolbar"));
    _toolbar->setMovable(false);
    _toolbar->setFloatable(false);
    _toolbar->setIconSize(QSize(32, 32));
    _toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    _toolbar->toggleViewAction()->setVisible(false);
    _toolbar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(_toolbar, &QToolBar::customContextMenuRequested, this, [this](const QPoint& position) {
        QMenu menu;
        const QAction* customize = menu.addAction(QStringLiteral("Customize Toolbar…"));
        connect(customize, &QAction::triggered, this, &MainController::runToolbarCustomizationPalette);
        menu.exec(_toolbar->mapToGlobal(position));
    });
    for (const std::string& identifier : identifiers) {
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
        } else if (identifier == ToolbarCustomizeItemIdentifier) {
            QAction* customize = _toolbar->addAction(QStringLiteral("Customize"));
            customize->setObjectName(QString::fromLatin1(ToolbarCustomizeItemIdentifier));
            customize->setToolTip(QStringLiteral("Choose the items of this toolbar and their order."));
            connect(customize, &QAction::triggered, this, &MainController::runToolbarCustomizationPalette);
        } else if (QAction* item = itemForItemIdentifier(identifier)) {
            _toolbar->addAction(item);
        }
    }
    if (previous != nullptr) {
        _window->insertToolBar(previous, _toolbar);
        _window->removeToolBar(previous);
        previous->deleteLater();
    } else {
        _window->addToolBar(Qt::TopToolBarArea, _toolbar);
    }
    validateVisibleItems();
}

std::vector<std::string> MainController::toolbarItemIdentifiers() const {
    std::vector<std::string> identifiers;
    for (QAction* action : _toolbar->actions()) {
        if (action->isSeparator()) {
            identifiers.emplace_back(ToolbarSeparatorItemIdentifier);
        } else if (auto* space = qobject_cast<QWidgetAction*>(action)) {
            identifiers.push_back(space->defaultWidget()->objectName().toStdString());
        } else {
            identifiers.push_back(action->objectName().toStdString());
        }
    }
    return identifiers;
}

void MainController::runToolbarCustomizationPalette() {
    if (_toolbarCustomization != nullptr) {
        _toolbarCustomization->raise();
        return;
    }
    _toolbarCustomization = new ToolbarCustomizationDialog(toolbarAllowedItemIdentifiers(),
                                                           toolbarDefaultItemIdentifiers(), toolbarItemIdentifiers(),
                                                           _window.get());
    _toolbarCustomization->setAttribute(Qt::WA_DeleteOnClose);
    connect(_toolbarCustomization, &QDialog::accepted, this, [this] {
        const std::vector<std::string> identifiers = _toolbarCustomization->itemIdentifiers();
        PlistArray saved;
        for (const std::string& identifier : identifiers) saved.emplace_back(identifier);
        UserDefaults::standard().setObject(PlistValue(std::move(saved)), toolbarConfigurationKey());
        setToolbarItemIdentifiers(identifiers);
    });
    _toolbarCustomization->open();
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
