// The whole road through the window: add a folder with the add-files sheet,
// export through the destination sheet, and stop an export with the button or
// a termination signal.
#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <algorithm>

#include "GuiTestSupport.h"
#include "app/MainController.h"
#include "app/MainWindow.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/AddFilesDialog.h"
#include "ui/SourceListModel.h"

using namespace pellora;

namespace {

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// Selects an entry of the sheet's current folder once the folder has been listed.
bool selectEntry(QFileDialog& sheet, const QString& name) {
    auto* view = sheet.findChild<QAbstractItemView*>(QStringLiteral("listView"));
    const QString path = QDir(sheet.directory()).filePath(name);
    return view != nullptr && QTest::qWaitFor([&] {
               sheet.selectFile(name);
               const QModelIndexList selected = view->selectionModel()->selectedIndexes();
               return std::any_of(selected.begin(), selected.end(), [&](const QModelIndex& index) {
                   return index.data(QFileSystemModel::FilePathRole).toString() == path;
               });
           });
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(_files.isValid());
        QVERIFY(guitest::launch(_controller, true));
    }
    void cleanup() {
        _controller.reset();
        UserDefaults::standard().removeObjectForKey(QVXDefaultsKey_exportDestination);
        UserDefaults::standard().removeObjectForKey(QVXDefaultsKey_exportStaticLocation);
    }

    void addAFolderAndExportItThroughTheDestinationSheet() {
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
        const QString photos = _files.filePath(QStringLiteral("photos"));
        const QString output = _files.filePath(QStringLiteral("output"));
        QVERIFY(QDir().mkpath(photos));
        QVERIFY(QDir().mkpath(output));
        for (const char* name : {"one.jpg", "two.jpg", "three.jpg"}) {
            guitest::writeJpeg(photos + "/" + name, 300, 200);
        }
        QFile notes(photos + "/notes.txt");
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.close();

        // The add-files sheet, window-modal on the main window, takes the folder itself.
        c.showAddFilesPanel();
        auto* addSheet = qobject_cast<AddFilesDialog*>(c.openSheet());
        QVERIFY(addSheet != nullptr);
        QCOMPARE(addSheet->parentWidget(), c.window());
        QCOMPARE(addSheet->windowModality(), Qt::WindowModal);
        QCOMPARE(addSheet->labelText(QFileDialog::Accept), QStringLiteral("Add"));
        QCOMPARE(addSheet->findChild<QLabel*>(QStringLiteral("sheetMessage"))->text(),
                 QStringLiteral("Select one or more image files, or a folder containing image files."));
        addSheet->setDirectory(_files.path());
        QVERIFY(selectEntry(*addSheet, QStringLiteral("photos")));
        QPushButton* add = addSheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
        QVERIFY(add != nullptr && add->isEnabled());
        add->click();
        QVERIFY(guitest::waitUntilIdle(c));
        QCOMPARE(c.batch().pelloraImages().count(), std::size_t{3});
        QCOMPARE(w.numImagesTextField->text(), QStringLiteral("3 images"));
        QVERIFY(w.exportButton->isEnabled());

        // Cancelling the destination sheet starts nothing.
        QTest::mouseClick(w.exportButton, Qt::LeftButton);
        QFileDialog* destination = c.openSheet();
        QVERIFY(destination != nullptr);
        QCOMPARE(destination->labelText(QFileDialog::Accept), QStringLiteral("Choose"));
        QCOMPARE(destination->fileMode(), QFileDialog::Directory);
        QCOMPARE(destination->windowModality(), Qt::WindowModal);
        destination->reject();
        QCoreApplication::processEvents();
        QVERIFY(!c.batch().isExporting());
        QCOMPARE(c.batch().pelloraImages().count(), std::size_t{3});

        // Choosing a folder exports into it; every record leaves the list, and
        // with nothing skipped or failed the count label tells what was written.
        QTest::mouseClick(w.exportButton, Qt::LeftButton);
        destination = c.openSheet();
        QVERIFY(destination != nullptr);
        destination->setDirectory(output);
        static_cast<QDialog*>(destination)->accept();  // as the Choose button does
        QVERIFY(guitest::waitUntilIdle(c));
        QCOMPARE(filesIn(output), (QStringList{"one.jpg", "three.jpg", "two.jpg"}));
        QCOMPARE(c.batch().pelloraImages().count(), std::size_t{0});
        QCOMPARE(w.numImagesTextField->text(), QStringLiteral("3 written"));
        QVERIFY(c.reportSheet() == nullptr);
        QCOMPARE(w.exportButton->text(), QStringLiteral("Export..."));
        QVERIFY(!w.exportButton->isEnabled());
        QVERIFY(w.progressBar->isHidden());
        QVERIFY(w.imagesTableView->isEnabled());
    }

    // The Stop button, or a termination signal, stops a running export once
    // the record in hand is written: the rest stays listed. A termination
    // then closes the window, which ends the run.
    void aRunningExportStops_data() {
        QTest::addColumn<bool>("terminating");
        QTest::newRow("Stop button") << false;
        QTest::newRow("termination signal") << true;
    }
    void aRunningExportStops() {
        QFETCH(bool, terminating);
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
        const QString folder = _files.filePath(QString::fromLatin1(QTest::currentDataTag()));
        const QString output = folder + QStringLiteral("/fixed/deeper");
        constexpr int count = 24;
        QVERIFY(guitest::importPhotosForFixedFolderExport(c, folder + QStringLiteral("/many"), output, count));
        QCOMPARE(w.exportButton->text(), QStringLiteral("Export"));
        QSignalSpy terminate(c.window(), &MainWindow::terminateRequested);
        QSignalSpy refused(c.window(), &MainWindow::closeRefusedWhileBusy);

        QTest::mouseClick(w.exportButton, Qt::LeftButton);
        QVERIFY(c.batch().isExporting());
        QCOMPARE(w.exportButton->text(), QStringLiteral("Stop"));
        QVERIFY(w.exportButton->isEnabled());
        if (terminating) {
            c.terminateWhenIdle();
            QVERIFY(terminate.wait(20000));
        } else {
            QTest::mouseClick(w.exportButton, Qt::LeftButton);
        }
        QVERIFY(guitest::waitUntilIdle(c));

        const int written = static_cast<int>(filesIn(output).size());
        const int left = static_cast<int>(c.batch().pelloraImages().count());
        QVERIFY2(left > 0, "the export ran to its end before the stop");
        QCOMPARE(written + left, count);
        QCOMPARE(c.tableModel().rowCount(), left);
        QVERIFY(!c.batch().isCanceled());
        QCOMPARE(refused.count(), 0);
        QCOMPARE(terminate.count(), terminating ? 1 : 0);
        QCOMPARE(c.window()->isVisible(), !terminating);
        if (!terminating) {
            QCOMPARE(w.exportButton->text(), QStringLiteral("Export"));
            QVERIFY(w.exportButton->isEnabled());
        }
    }

private:
    QTemporaryDir _files;
    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
