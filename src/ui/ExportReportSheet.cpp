#include "ui/ExportReportSheet.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "jobs/FolderOpener.h"
#include "ui/ExportReportModel.h"

namespace pellora {

ExportReportSheet::ExportReportSheet(const ExportReport& report, const std::string& folder,
                                     FolderOpener& folderOpener, QWidget* parent)
    : QDialog(parent), _folderOpener(folderOpener), _model(new ExportReportModel(report, folder, this)),
      _headline(new QLabel(_model->headline(), this)), _counts(new QLabel(_model->countsText(), this)),
      _results(new QTreeView(this)) {
    setObjectName(QStringLiteral("exportReportSheet"));
    setWindowTitle(_model->headline());
    setWindowModality(Qt::WindowModal);

    QFont bold = _headline->font();
    bold.setBold(true);
    _headline->setFont(bold);

    _results->setModel(_model);
    _results->setRootIsDecorated(false);
    _results->setUniformRowHeights(true);
    _results->setAlternatingRowColors(true);
    _results->setSelectionMode(QAbstractItemView::NoSelection);
    _results->setTextElideMode(Qt::ElideMiddle);
    _results->setFocusPolicy(Qt::NoFocus);
    _results->header()->setStretchLastSection(true);
    // The names take what they need, up to about half the width; the results the rest.
    _results->resizeColumnToContents(ExportReportModel::FileColumn);
    _results->header()->resizeSection(ExportReportModel::FileColumn,
                                      std::min(_results->header()->sectionSize(ExportReportModel::FileColumn) + 16, 280));

    auto* buttons = new QDialogButtonBox(this);
    _showInFolder = buttons->addButton(QStringLiteral("Show in Folder"), QDialogButtonBox::ActionRole);
    _ok = buttons->addButton(QDialogButtonBox::Ok);
    _ok->setDefault(true);
    connect(_showInFolder, &QPushButton::clicked, this, &ExportReportSheet::showInFolder);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    addAction(copy);
    connect(copy, &QAction::triggered, this, [this] { QGuiApplication::clipboard()->setText(_model->plainText()); });

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QVBoxLayout;
    text->addWidget(_headline);
    text->addWidget(_counts);
    text->addWidget(_results, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttons);
    resize(620, 340);
}

void ExportReportSheet::showInFolder() {
    if (_folderOpener.openFolderURL(_model->folderURL())) {
        accept();
    } else {
        QApplication::beep();
    }
}

} // namespace pellora
