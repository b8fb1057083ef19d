#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;
class QListWidgetItem;

namespace pellora {

// The Customize Toolbar… dialog: the allowed items on the left (the
// separator and the spaces may be used any number of times, the others once),
// the toolbar's arrangement on the right, with buttons to add, remove, move
// and restore the default set. The caller reads itemIdentifiers() once accepted.
class ToolbarCustomizationDialog : public QDialog {
    Q_OBJECT

public:
    ToolbarCustomizationDialog(std::vector<std::string> allowedIdentifiers, std::vector<std::string> defaultIdentifiers,
                               const std::vector<std::string>& currentIdentifiers, QWidget* parent);

    std::vector<std::string> itemIdentifiers() const;
    void setItemIdentifiers(const std::vector<std::string>& identifiers);
    // Appends one allowed identifier where the user's "Add" would put it.
    void addItem(const std::string& identifier);

    // The text shown for an identifier ("Flexible Space" for "FlexibleSpace").
    static QString displayName(const std::string& identifier);

private:
    static bool isReusable(const std::string& identifier);
    QListWidgetItem* makeItem(const std::string& identifier) const;
    void refreshAvailable();
    void addSelected();
    void removeSelected();
    void moveSelected(int offset);

    std::vector<std::string> _allowedIdentifiers;
    std::vector<std::string> _defaultIdentifiers;
    QListWidget* _available = nullptr;
    QListWidget* _arrangement = nullptr;
};

} // namespace pellora
