#pragma once

#include <QFileDialog>
#include <functional>
#include <optional>
#include <string>

namespace pellora {

// Opens the sheet that chooses one folder (the export destination, the fixed
// export location): window-modal on window, with message under its panes and
// a Choose button. When it ends, ended runs in receiver's context with the
// sheet and its return code; the sheet then deletes itself.
QFileDialog* openFolderChooserSheet(QWidget* window, const QString& message, QObject* receiver,
                                    std::function<void(QFileDialog&, int)> ended);

// Puts an ended sheet away and gives the folder chosen in it, as file-system
// bytes; nullopt when it was cancelled or nothing was chosen.
std::optional<std::string> chosenFolder(QFileDialog& sheet, int returnCode);

} // namespace pellora
