// What the window tells of an export: the check of the list's names before it
// starts, the report sheet at its end, and the failed records it leaves marked
// in the list.
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <QTreeView>

#include "GuiTestSupport.h"
#include "app/MainController.h"
#include "app/MainWindow.h"
#include "jobs/FolderOpener.h"
#include "model/PelloraImage.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestSupport.h"
#include "ui/ExportConflictSheet.h"
#include "ui/ExportReportModel.h"
#include "ui/ExportReportSheet.h"
#include "ui/SourceListModel.h"
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

ExportRecordResult result(const std::string& input, ExportOutcome outcome,
                          ExportFailureReason reason = ExportFailureReason::None) {
    return {input, "/out/" + input.substr(input.rfind('/') + 1), outcome, reason};
}

} // namespace

class ExportReportTest : public QObject {
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

    void theReportModelCountsAndListsWhatWasNotWritten() {
        ExportReport report;
        report.add(result("/in/a.jpg", ExportOutcome::Written));
        report.add(result("/in/old.jpg", ExportOutcome::Skipped));
        report.add(result("/in/broken.jpg", ExportOutcome::Failed, ExportFailureReason::CannotDecode));
        report.add(result("/other/a.jpg", ExportOutcome::Failed, ExportFailureReason::NameClash));
        report.add(result("/in/b.jpg", ExportOutcome::Written));
        QVERIFY(ExportReportModel::needsTelling(report));
        const ExportReportModel model(report, "/out put");
        QCOMPARE(model.headline(), QStringLiteral("Export finished"));
        QCOMPARE(model.countsText(), QStringLiteral("2 written, 1 skipped, 2 failed"));
        QCOMPARE(rowsOf(model), (QStringList{"old.jpg | Skipped: the output file already exists",
                                             "broken.jpg | Failed: cannot decode the image",
                                             "a.jpg | Failed: another image in this export has the same name"}));
        QCOMPARE(model.index(2, ExportReportModel::FileColumn).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("/other/a.jpg"));
        QCOMPARE(model.index(2, ExportReportModel::ResultColumn).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("/out/a.jpg"));
        QCOMPARE(model.folderURL(), std::string("file:///out%20put"));

        report.setCanceled(true);
        QCOMPARE(ExportReportModel(report, "/out").headline(), QStringLiteral("Export stopped"));

        ExportReport allWritten;
        allWritten.add(result("/in/a.jpg", ExportOutcome::Written));
        QVERIFY(!ExportReportModel::needsTelling(allWritten));
        QVERIFY(!ExportReportModel::needsTelling(ExportReport()));
    }

    void theConflictMessageSaysOnlyWhatApplies_data() {
        QTest::addColumn<int>("clashes");
        QTest::addColumn<int>("existing");
        QTest::addColumn<QString>("message");
        QTest::newRow("both") << 3 << 12
                              << "3 images share a name with another image in the list; "
                                 "12 outputs already exist and will be skipped";
        QTest::newRow("one clash") << 1 << 0 << "1 image shares a name with another image in the list";
        QTest::newRow("one existing") << 0 << 1 << "1 output already exists and will be skipped";
        QTest::newRow("clash and existing") << 2 << 1
                                            << "2 images share a name with another image in the list; "
                                               "1 output already exists and will be skipped";
    }
    void theConflictMessageSaysOnlyWhatApplies() {
        QFETCH(int, clashes);
        QFETCH(int, existing);
        QFETCH(QString, message);
        ExportPlan plan;
        plan.clashCount = static_cast<std::size_t>(clashes);
        plan.existingCount = static_cast<std::size_t>(existing);
        QCOMPARE(ExportConflictSheet::messageForPlan(plan), message);
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

    void anExportThatWritesEverythingShowsNoSheet() {
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
        guitest::writeJpeg(sources() + "/one.jpg", 320, 240);
        guitest::writeJpeg(sources() + "/two.jpg", 320, 240);
        guitest::addRecords(c, {bytes(sources() + "/one.jpg"), bytes(sources() + "/two.jpg")});
        c.updateInterface();
        QTest::mouseClick(w.exportButton, Qt::LeftButton);
        QVERIFY(c.conflictSheet() == nullptr);
        QVERIFY(guitest::waitUntilIdle(c));
        // The label tells the export's end, where a sheet would have shown.
        QTRY_COMPARE(w.numImagesTextField->text(), QStringLiteral("2 written"));
        QVERIFY(c.reportSheet() == nullptr);
        QVERIFY(w.numImagesTextField->isVisible());
        QVERIFY(_folderOpener.urls.empty());
    }

    void sameNamedSourcesAreAskedAboutFirst() {
        MainController& c = *_controller;
        const guitest::MainWindowControls w = guitest::controls(c);
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
            QTest::mouseClick(w.exportButton, Qt::LeftButton);
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
        QTest::mouseClick(w.exportButton, Qt::LeftButton);
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

private:
    QString sources() const { return _files.filePath(QStringLiteral("sources")); }
    QString destination() const { return _files.filePath(QStringLiteral("export here")); }

    QTemporaryDir _files;
    RecordingFolderOpener _folderOpener;
    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(ExportReportTest)
#include "ExportReportTest.moc"
