// Exporting through the window: a folder added with the add-files sheet and
// exported through the destination sheet, the check of the list's names before
// a start, the report sheet at the end, the failed records left marked in the
// list, and a running export stopped by the button or a termination signal.
#include <algorithm>

#include "GuiTestSupport.h"
#include "jobs/FolderOpener.h"
#include "support/TestSupport.h"
#include "ui/AddFilesDialog.h"
#include "ui/ExportConflictSheet.h"
#include "ui/ExportReportModel.h"
#include "ui/ExportReportSheet.h"
#include "ui/ThumbnailCell.h"

using namespace pellora;

namespace {

class RecordingFolderOpener final : public FolderOpener {
public:
    bool openFolderURL(const std::string& url) override {
        urls.push_back(url);
        return true;
    }
    std::vector<std::string> urls;
};

std::string bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Each row of a report as "file | result".
QStringList rowsOf(const QAbstractItemModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        rows << model.index(row, ExportReportModel::FileColumn).data().toString() + " | " +
                    model.index(row, ExportReportModel::ResultColumn).data().toString();
    }
    return rows;
}

// A tool tip as the user reads it.
QString toolTipText(const QModelIndex& index) {
    return QTextDocumentFragment::fromHtml(index.data(Qt::ToolTipRole).toString()).toPlainText();
}

QStringList namesInList(MainController& c) {
    QStringList names;
    for (const PelloraImagePtr& record : c.batch().pelloraImages().snapshot()) {
        names << QString::fromStdString(record->inputName());
    }
    return names;
}

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

class ExportTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(_files.isValid());
        QVERIFY(QDir().mkpath(sources()));
        UserDefaults::standard().setObject(PlistValue(1), QVXDefaultsKey_exportDestination);
        UserDefaults::standard().setObject(PlistValue(bytes(destination())), QVXDefaultsKey_exportStaticLocation);
        QVERIFY(guitest::launch(_controller, true));
        _controller->setFolderOpener(_folderOpener);
    }
    void cleanup() {
        _controller.reset();
        for (const char* key : {QVXDefaultsKey_exportDestination, QVXDefaultsKey_exportStaticLocation,
                                QVXDefaultsKey_overriteExistingFilesOnExport}) {
            UserDefaults::standard().removeObjectForKey(key);
        }
        QDir(_files.path()).removeRecursively();
        QVERIFY(QDir().mkpath(_files.path()));
        _folderOpener.urls.clear();
    }

    // The exports below show the rest: a stopped export's headline, the
    // output as the result's tool tip, and an empty report left untold.
    void theReportModelTellsAStopAndTheOutputPath() {
        ExportReport report;
        report.add({"/in/a.jpg", "/out/a.jpg", ExportOutcome::Written, ExportFailureReason::None});
        report.add({"/in/broken.jpg", "/out/broken.jpg", ExportOutcome::Failed, ExportFailureReason::CannotDecode});
        report.setCanceled(true);
        const ExportReportModel model(report, "/out");
        QCOMPARE(model.headline(), QStringLiteral("Export stopped"));
        QCOMPARE(rowsOf(model), QStringList{"broken.jpg | Failed: cannot decode the image"});
        QCOMPARE(model.index(0, ExportReportModel::ResultColumn).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("/out/broken.jpg"));
        QVERIFY(!ExportReportModel::needsTelling(ExportReport()));
    }

    // Single counts are told by the exports below.
    void theConflictMessageJoinsClashesAndExistingOutputs() {
        for (const auto& [clashes, existing, message] :
             {std::tuple(3, 12, "3 images share a name with another image in the list; "
                                "12 outputs already exist and will be skipped"),
              std::tuple(2, 1, "2 images share a name with another image in the list; "
                               "1 output already exists and will be skipped")}) {
            ExportPlan plan;
            plan.clashCount = static_cast<std::size_t>(clashes);
            plan.existingCount = static_cast<std::size_t>(existing);
            QCOMPARE(ExportConflictSheet::messageForPlan(plan), QString::fromUtf8(message));
        }
    }

    void anExportThatSkipsAndFailsEndsWithTheReportSheet() {
        MainController& c = *_controller;
        const QString in = sources();
        for (const char* name : {"one.jpg", "old.jpg", "two.jpg"}) guitest::writeJpeg(in + "/" + name, 320, 240);
        test::writeFile(bytes(in + "/broken.jpg"), "this is not a JPEG file");
        QVERIFY(QDir().mkpath(destination()));
        test::writeFile(bytes(destination() + "/old.jpg"), "kept");
        guitest::addRecords(c, {bytes(in + "/one.jpg"), bytes(in + "/broken.jpg"), bytes(in + "/old.jpg"),
                                bytes(in + "/two.jpg")});
        c.updateInterface();

        // The existing output is told before anything starts.
        QTest::mouseClick(guitest::controls(c).exportButton, Qt::LeftButton);
        ExportConflictSheet* conflict = c.conflictSheet();
        QVERIFY(conflict != nullptr);
        QCOMPARE(conflict->text(), QStringLiteral("1 output already exists and will be skipped"));
        QVERIFY(!c.batch().isExporting());
        conflict->exportAnywayButton()->click();
        QVERIFY(guitest::waitUntilIdle(c));

        QTRY_VERIFY(c.reportSheet() != nullptr);
        ExportReportSheet& sheet = *c.reportSheet();
        QVERIFY(sheet.isVisible());
        QCOMPARE(sheet.parentWidget(), c.window());
        QCOMPARE(sheet.windowModality(), Qt::WindowModal);
        QCOMPARE(sheet.headlineLabel()->text(), QStringLiteral("Export finished"));
        QCOMPARE(sheet.countsLabel()->text(), QStringLiteral("2 written, 1 skipped, 1 failed"));
        QCOMPARE(rowsOf(*sheet.resultsView()->model()),
                 (QStringList{"broken.jpg | Failed: cannot decode the image",
                              "old.jpg | Skipped: the output file already exists"}));

        // The failed record stays, marked; the written and skipped ones left.
        QCOMPARE(namesInList(c), QStringList{"broken.jpg"});
        const QModelIndex icon = c.tableModel().index(0, SourceListModel::IconColumn);
        QCOMPARE(icon.data(SourceListModel::ExportFailureRole).toString(), QStringLiteral("cannot decode the image"));
        QVERIFY(toolTipText(c.tableModel().index(0, SourceListModel::NameColumn))
                    .endsWith(QStringLiteral("\nNot exported: cannot decode the image")));

        // Ctrl+C copies the report as text.
        QApplication::clipboard()->clear();
        QTest::keySequence(&sheet, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(),
                 "Export finished\n2 written, 1 skipped, 1 failed\n" + in +
                     "/broken.jpg\tFailed: cannot decode the image\n" + in +
                     "/old.jpg\tSkipped: the output file already exists\n");

        // Show in Folder hands the destination's file: URL to the folder opener and closes the sheet.
        sheet.showInFolderButton()->click();
        QCOMPARE(_folderOpener.urls, std::vector<std::string>{fileURLForFolder(bytes(destination()))});
        QVERIFY(QString::fromStdString(_folderOpener.urls.front()).endsWith(QStringLiteral("/export%20here")));
        QTRY_VERIFY(c.reportSheet() == nullptr);
    }

    void sameNamedSourcesAreAskedAboutFirst() {
        MainController& c = *_controller;
        for (const char* path : {"/a/camera.jpg", "/b/camera.jpg", "/b/other.jpg"}) {
            QVERIFY(QDir().mkpath(QFileInfo(sources() + path).path()));
            guitest::writeJpeg(sources() + path, 320, 240);
        }
        guitest::addRecords(c, {bytes(sources() + "/a/camera.jpg"), bytes(sources() + "/b/camera.jpg"),
                                bytes(sources() + "/b/other.jpg")});
        c.updateInterface();

        // Cancel starts nothing and makes no folder; nor does Export Anyway once an
        // import has begun (files handed over by a second launch).
        for (const bool importing : {false, true}) {
            QTest::mouseClick(guitest::controls(c).exportButton, Qt::LeftButton);
            QVERIFY(c.conflictSheet() != nullptr);
            QCOMPARE(c.conflictSheet()->text(), QStringLiteral("1 image shares a name with another image in the list"));
            QCOMPARE(c.conflictSheet()->windowModality(), Qt::WindowModal);
            c.batch().setIsImporting(importing);
            (importing ? c.conflictSheet()->exportAnywayButton() : c.conflictSheet()->cancelButton())->click();
            QTRY_VERIFY(c.conflictSheet() == nullptr);
            QVERIFY(!c.batch().isExporting());
            c.batch().setIsImporting(false);
            QVERIFY(!QFileInfo::exists(destination()));
            QCOMPARE(namesInList(c), (QStringList{"camera.jpg", "camera.jpg", "other.jpg"}));
        }

        // Export Anyway writes the first of the two; the second fails and stays.
        QTest::mouseClick(guitest::controls(c).exportButton, Qt::LeftButton);
        QVERIFY(c.conflictSheet() != nullptr);
        c.conflictSheet()->exportAnywayButton()->click();
        QVERIFY(guitest::waitUntilIdle(c));
        QTRY_VERIFY(c.reportSheet() != nullptr);
        QCOMPARE(c.reportSheet()->countsLabel()->text(), QStringLiteral("2 written, 0 skipped, 1 failed"));
        QCOMPARE(rowsOf(c.reportSheet()->model()),
                 QStringList{"camera.jpg | Failed: another image in this export has the same name"});
        QCOMPARE(c.reportSheet()->model().index(0, 0).data(Qt::ToolTipRole).toString(), sources() + "/b/camera.jpg");
        QCOMPARE(QDir(destination()).entryList(QDir::Files), (QStringList{"camera.jpg", "other.jpg"}));
        QCOMPARE(namesInList(c), QStringList{"camera.jpg"});
        c.reportSheet()->okButton()->click();
        QTRY_VERIFY(c.reportSheet() == nullptr);
        QVERIFY(_folderOpener.urls.empty());
    }

    void aFailedRecordCarriesABadgeUntilItIsWritten() {
        MainController& c = *_controller;
        guitest::addRecords(c, {"/nonexistent/failed.jpg"});
        const QModelIndex icon = c.tableModel().index(0, SourceListModel::IconColumn);
        const auto render = [&] {
            QImage cell(49, 45, QImage::Format_ARGB32);
            cell.fill(Qt::white);
            QPainter painter(&cell);
            QStyleOptionViewItem option;
            option.rect = cell.rect();
            ThumbnailCell(nullptr).paint(&painter, option, icon);
            return cell;
        };
        const PelloraImagePtr record = c.batch().pelloraImages().snapshot().front();
        QVERIFY(!icon.data(SourceListModel::ExportFailureRole).isValid());
        const QImage plain = render();

        record->setLastExportFailure(ExportFailureReason::CannotWriteFolder);
        QCOMPARE(icon.data(SourceListModel::ExportFailureRole).toString(), QStringLiteral("cannot write to the folder"));
        const QImage badged = render();
        // The badge is a red disc near the lower right corner.
        const QPoint inDisc(33, 34);  // the disc spans 30..46 x 26..42, the mark is at its centre
        const QColor badge = badged.pixelColor(inDisc);
        QVERIFY2(badge.red() > 150 && badge.green() < 90 && badge.blue() < 90, qPrintable(badge.name()));
        QCOMPARE(plain.pixelColor(inDisc), QColor(Qt::white));

        // A later export that writes it clears the mark.
        record->setLastExportFailure(ExportFailureReason::None);
        QCOMPARE(render(), plain);
        QVERIFY(!toolTipText(c.tableModel().index(0, SourceListModel::NameColumn)).contains(QStringLiteral("Not exported")));
    }

    void addAFolderAndExportItThroughTheDestinationSheet() {
        MainController& c = *_controller;
        UserDefaults::standard().setObject(PlistValue(0), QVXDefaultsKey_exportDestination);
        const QString output = destination();
        QVERIFY(QDir().mkpath(output));
        for (const char* name : {"one.jpg", "two.jpg", "three.jpg"}) guitest::writeJpeg(sources() + "/" + name, 300, 200);
        test::writeFile(bytes(sources() + "/notes.txt"), "");

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
        QVERIFY(selectEntry(*addSheet, QStringLiteral("sources")));
        QPushButton* add = addSheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
        QVERIFY(add != nullptr && add->isEnabled());
        add->click();
        QVERIFY(guitest::waitUntilIdle(c));
        QCOMPARE(c.batch().pelloraImages().count(), std::size_t{3});
        QCOMPARE(guitest::controls(c).numImagesTextField->text(), QStringLiteral("3 images"));
        QVERIFY(guitest::controls(c).exportButton->isEnabled());

        // Cancelling the destination sheet starts nothing.
        QTest::mouseClick(guitest::controls(c).exportButton, Qt::LeftButton);
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
        // with nothing to ask about or to report, no sheet shows: the count
        // label tells what was written.
        QTest::mouseClick(guitest::controls(c).exportButton, Qt::LeftButton);
        destination = c.openSheet();
        QVERIFY(destination != nullptr);
        destination->setDirectory(output);
        static_cast<QDialog*>(destination)->accept();  // as the Choose button does
        QVERIFY(c.conflictSheet() == nullptr);
        QVERIFY(guitest::waitUntilIdle(c));
        QCOMPARE(filesIn(output), (QStringList{"one.jpg", "three.jpg", "two.jpg"}));
        QCOMPARE(c.batch().pelloraImages().count(), std::size_t{0});
        QCOMPARE(guitest::controls(c).numImagesTextField->text(), QStringLiteral("3 written"));
        QVERIFY(guitest::controls(c).numImagesTextField->isVisible());
        QVERIFY(c.reportSheet() == nullptr);
        QVERIFY(_folderOpener.urls.empty());
        QCOMPARE(guitest::controls(c).exportButton->text(), QStringLiteral("Export..."));
        QVERIFY(!guitest::controls(c).exportButton->isEnabled());
        QVERIFY(guitest::controls(c).progressBar->isHidden());
        QVERIFY(guitest::controls(c).imagesTableView->isEnabled());
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
        const QString folder = _files.filePath(QString::fromLatin1(QTest::currentDataTag()));
        const QString output = folder + QStringLiteral("/fixed/deeper");
        constexpr int count = 24;
        QVERIFY(guitest::importPhotosForFixedFolderExport(c, folder + QStringLiteral("/many"), output, count));
        QCOMPARE(guitest::controls(c).exportButton->text(), QStringLiteral("Export"));
        QSignalSpy terminate(c.window(), &MainWindow::terminateRequested);
        QSignalSpy refused(c.window(), &MainWindow::closeRefusedWhileBusy);

        QTest::mouseClick(guitest::controls(c).exportButton, Qt::LeftButton);
        QVERIFY(c.batch().isExporting());
        QCOMPARE(guitest::controls(c).exportButton->text(), QStringLiteral("Stop"));
        QVERIFY(guitest::controls(c).exportButton->isEnabled());
        if (terminating) {
            c.terminateWhenIdle();
            QVERIFY(terminate.wait(20000));
        } else {
            QTest::mouseClick(guitest::controls(c).exportButton, Qt::LeftButton);
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
            QCOMPARE(guitest::controls(c).exportButton->text(), QStringLiteral("Export"));
            QVERIFY(guitest::controls(c).exportButton->isEnabled());
        }
    }

private:
    QString sources() const { return _files.filePath(QStringLiteral("sources")); }
    QString destination() const { return _files.filePath(QStringLiteral("export here")); }

    QTemporaryDir _files;
    RecordingFolderOpener _folderOpener;
    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(ExportTest)
#include "ExportTest.moc"
