#include "ui/FolderChooserSheet.h"

#include <QFile>

#include "ui/AddFilesDialog.h"

namespace pellora {

QFileDialog* openFolderChooserSheet(QWidget* window, const QString& message, QObject* receiver,
                                    std::function<void(QFileDialog&, int)> ended) {
    auto* sheet = new QFileDialog(window);
    sheet->setFileMode(QFileDialog::Directory);
    sheet->setOption(QFileDialog::ShowDirsOnly, true);
    prepareSheet(*sheet, message, QStringLiteral("Choose"));
    QObject::connect(sheet, &QDialog::finished, receiver, [sheet, ended = std::move(ended)](int returnCode) {
        ended(*sheet, returnCode);
        sheet->deleteLater();
    });
    sheet->open();
    return sheet;
}

std::optional<std::string> chosenFolder(QFileDialog& sheet, int returnCode) {
    // The sheet goes before any work starts.
    sheet.hide();
    const QStringList chosen = sheet.selectedFiles();
    if (returnCode != QDialog::Accepted || chosen.isEmpty()) return std::nullopt;
    return QFile::encodeName(chosen.first()).toStdString();
}

} // namespace pellora
