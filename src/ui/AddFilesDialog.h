#pragma once

#include <QFileDialog>
#include <string>
#include <vector>

namespace pellora {

// Qt's own file dialog made to choose several files and folders at once:
// accepting with a selection takes the selected entries as they are, where
// the plain dialog would open a selected folder instead of choosing it.
class AddFilesDialog : public QFileDialog {
    Q_OBJECT

public:
    explicit AddFilesDialog(QWidget* parent);

    // The chosen paths in the order they were selected, as file-system bytes.
    std::vector<std::string> chosenPaths() const { return _chosenPaths; }

    static constexpr const char* message = "Select one or more image files, or a folder containing image files.";

public slots:
    void accept() override;

private:
    std::vector<std::string> _chosenPaths;
};

// A window-modal dialog of Qt's own (with a message line under its panes,
// which the platform dialogs lack) for the given parent window.
void prepareSheet(QFileDialog& dialog, const QString& message, const QString& prompt);

} // namespace pellora
