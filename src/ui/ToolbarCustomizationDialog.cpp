#include "ui/ToolbarCustomizationDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/Identifiers.h"

namespace pellora {
namespace {

constexpr int kIdentifierRole = Qt::UserRole;

std::string identifierOf(const QListWidgetItem* item) {
    return item->data(kIdentifierRole).toString().toStdString();
}

} // namespace

ToolbarCustomizationDialog::ToolbarCustomizationDialog(std::vector<std::string> allowedIdentifiers,
                                                       std::vector<std::string> defaultIdentifiers,
                                                       const std::vector<std::string>& currentIdentifiers,
                                                       QWidget* parent)
    : QDialog(parent),
      _allowedIdentifiers(std::move(allowedIdentifiers)),
      _defaultIdentifiers(std::move(defaultIdentifiers)),
      _available(new QListWidget(this)),
      _arrangement(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Customize Toolbar"));
    _available->setObjectName(QStringLiteral("availableItems"));
    _arrangement->setObjectName(QStringLiteral("toolbarItems"));

    auto* add = new QPushButton(QStringLiteral("Add →"), this);
    auto* remove = new QPushButton(QStringLiteral("← Remove"), this);
    auto* up = new QPushButton(QStringLiteral("Move Up"), this);
    auto* down = new QPushButton(QStringLiteral("Move Down"), this);
    auto* defaults = new QPushButton(QStringLiteral("Use Default Set"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* middle = new QVBoxLayout;
    middle->addStretch();
    for (QPushButton* button : {add, remove, up, down, defaults}) middle->addWidget(button);
    middle->addStretch();
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Available items:"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Toolbar, from left to right:"), this), 0, 2);
    grid->addWidget(_available, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(_arrangement, 1, 2);
    grid->addWidget(buttons, 2, 0, 1, 3);

    connect(add, &QPushButton::clicked, this, &ToolbarCustomizationDialog::addSelected);
    connect(_available, &QListWidget::itemDoubleClicked, this, &ToolbarCustomizationDialog::addSelected);
    connect(remove, &QPushButton::clicked, this, &ToolbarCustomizationDialog::removeSelected);
    connect(_arrangement, &QListWidget::itemDoubleClicked, this, &ToolbarCustomizationDialog::removeSelected);
    connect(up, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveSelected(1); });
    connect(defaults, &QPushButton::clicked, this, [this] { setItemIdentifiers(_defaultIdentifiers); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setItemIdentifiers(currentIdentifiers);
}

QString ToolbarCustomizationDialog::displayName(const std::string& identifier) {
    if (identifier == ToolbarFlexibleSpaceItemIdentifier) return QStringLiteral("Flexible Space");
    if (identifier == ToolbarCustomizeItemIdentifier) return QStringLiteral("Customize");
    return QString::fromStdString(identifier);
}

bool ToolbarCustomizationDialog::isReusable(const std::string& identifier) {
    return identifier == ToolbarSeparatorItemIdentifier || identifier == ToolbarSpaceItemIdentifier ||
           identifier == ToolbarFlexibleSpaceItemIdentifier;
}

QListWidgetItem* ToolbarCustomizationDialog::makeItem(const std::string& identifier) const {
    auto* item = new QListWidgetItem(displayName(identifier));
    item->setData(kIdentifierRole, QString::fromStdString(identifier));
    return item;
}

std::vector<std::string> ToolbarCustomizationDialog::itemIdentifiers() const {
    std::vector<std::string> identifiers;
    for (int row = 0; row < _arrangement->count(); ++row) identifiers.push_back(identifierOf(_arrangement->item(row)));
    return identifiers;
}

void ToolbarCustomizationDialog::setItemIdentifiers(const std::vector<std::string>& identifiers) {
    _arrangement->clear();
    for (const std::string& identifier : identifiers) _arrangement->addItem(makeItem(identifier));
    refreshAvailable();
}

void ToolbarCustomizationDialog::addItem(const std::string& identifier) {
    const bool allowed =
        std::find(_allowedIdentifiers.begin(), _allowedIdentifiers.end(), identifier) != _allowedIdentifiers.end();
    const std::vector<std::string> current = itemIdentifiers();
    const bool present = std::find(current.begin(), current.end(), identifier) != current.end();
    if (!allowed || (present && !isReusable(identifier))) return;
    const int row = _arrangement->currentRow() < 0 ? _arrangement->count() : _arrangement->currentRow() + 1;
    _arrangement->insertItem(row, makeItem(identifier));
    _arrangement->setCurrentRow(row);
    refreshAvailable();
}

// The available list offers what may still be added.
void ToolbarCustomizationDialog::refreshAvailable() {
    _available->clear();
    const std::vector<std::string> current = itemIdentifiers();
    for (const std::string& identifier : _allowedIdentifiers) {
        if (isReusable(identifier) || std::find(current.begin(), current.end(), identifier) == current.end()) {
            _available->addItem(makeItem(identifier));
        }
    }
}

void ToolbarCustomizationDialog::addSelected() {
    if (const QListWidgetItem* item = _available->currentItem()) addItem(identifierOf(item));
}

void ToolbarCustomizationDialog::removeSelected() {
    delete _arrangement->takeItem(_arrangement->currentRow());
    refreshAvailable();
}

void ToolbarCustomizationDialog::moveSelected(int offset) {
    const int row = _arrangement->currentRow();
    const int target = row + offset;
    if (row < 0 || target < 0 || target >= _arrangement->count()) return;
    _arrangement->insertItem(target, _arrangement->takeItem(row));
    _arrangement->setCurrentRow(target);
}

} // namespace pellora
