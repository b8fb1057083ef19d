#include "ui/AddFilesDialog.h"

#include <QAbstractItemView>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QFileInfo>

#include "platform/imageio/ImageFileTypes.h"

namespace pellora {

void prepareSheet(QFileDialog& dialog, const QString& message, const QString& prompt) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setWindowTitle(message);
    dialog.setLabelText(QFileDialog::Accept, prompt);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        auto* messageLabel = new QLabel(message, &dialog);
        messageLabel->setObjectName(QStringLiteral("sheetMessage"));
        grid->addWidget(messageLabel, grid->rowCount(), 0, 1, grid->columnCount());
    }
}

AddFilesDialog::AddFilesDialog(QWidget* parent) : QFileDialog(parent) {
    setFileMode(QFileDialog::ExistingFiles);
    // The dialog matches name patterns without regard to case, so one spelling of each type will do.
    QStringList patterns;
    for (const std::string& type : imageFileTypes()) {
        const QString pattern = QStringLiteral("*.") + QString::fromStdString(type).toLower();
        if (!patterns.contains(pattern)) {
            patterns << pattern;
        }
    }
    setNameFilter(QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' '))));
    prepareSheet(*this, QString::fromLatin1(message), QStringLiteral("Add"));
}

void AddFilesDialog::accept() {
    // Both of the dialog's views share one selection model over the file-system model.
    const auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"));
    const QModelIndexList selected = view != nullptr && view->selectionModel() != nullptr
                                         ? view->selectionModel()->selectedIndexes()
                                         : QModelIndexList();
    _chosenPaths.clear();
    for (const QModelIndex& index : selected) {
        if (index.column() != 0) {
            continue;
        }
        const QString path = index.data(QFileSystemModel::FilePathRole).toString();
        if (!path.isEmpty()) {
            _chosenPaths.push_back(QFile::encodeName(path).toStdString());
        }
    }
    if (_chosenPaths.empty()) {
        // A name typed into the field: the dialog resolves it (and opens a typed folder).
        const QStringList files = selectedFiles();
        for (const QString& file : files) {
            if (!QFileInfo(file).isDir()) {
                _chosenPaths.push_back(QFile::encodeName(file).toStdString());
            }
        }
        if (_chosenPaths.empty()) {
            QFileDialog::accept();
            return;
        }
    }
    QDialog::accept();
}

} // namespace pellora
