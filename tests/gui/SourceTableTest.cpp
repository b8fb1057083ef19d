// The source list table: the model over a snapshot, sizes and thumbnails and
// the order they are read in, the count label, selection and its
// notification, remove and clear, drops, the name cell, and a disabled table
// ignoring the mouse.
#include <set>
#include <unistd.h>

#include "GuiTestSupport.h"
#include "support/TestSupport.h"
#include "ui/FileNameText.h"
#include "ui/FileUriList.h"
#include "ui/Identifiers.h"
#include "ui/PelloraImageNameCell.h"
#include "ui/ThumbnailCache.h"

using namespace pellora;
using guitest::fileUri;

namespace {

std::vector<int> selectedRowsOf(const MainController& controller) {
    std::vector<int> rows;
    for (const QModelIndex& index : guitest::controls(controller).imagesTableView->selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void selectRows(MainController& controller, const QList<int>& rows) {
    QItemSelectionModel* selection = guitest::controls(controller).imagesTableView->selectionModel();
    selection->clearSelection();
    for (const int row : rows) {
        selection->select(controller.tableModel().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

// Counts the selection notifications posted while alive.
class SelectionNotifications {
public:
    SelectionNotifications()
        : _token(NotificationCenter::defaultCenter().addObserver(
              QVXNotification_selectedImageDidChange, [this](const std::string&, const PlistValue&) { ++_count; })) {}
    ~SelectionNotifications() { NotificationCenter::defaultCenter().removeObserver(_token); }
    int count() const { return _count; }

private:
    int _count = 0;
    NotificationCenter::Token _token;
};

} // namespace

class SourceTableTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(_files.isValid());
        QVERIFY(guitest::launch(_controller, false));
    }
    void cleanup() { _controller.reset(); }

    void initTestCase() {
        guitest::writeJpeg(_files.filePath(QStringLiteral("wide.jpg")), 160, 120);
        test::writeFile(path("notes.txt"), "not an image");
        QDir(_files.path()).mkdir(QStringLiteral("folder"));
        guitest::writeJpeg(_files.filePath(QStringLiteral("folder/inside.jpg")), 40, 30);
    }

    void modelPassesTheItemModelTesterThroughReloadsAndThumbnails() {
        MainController& c = *_controller;
        QAbstractItemModelTester tester(&c.tableModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        addSixRecords(c);
        for (int row = 0; row < 6; ++row) c.tableModel().index(row, SourceListModel::IconColumn).data(Qt::DecorationRole);
        QTRY_VERIFY(!c.thumbnails().isMakingThumbnails());
        QCoreApplication::processEvents();
        c.batch().pelloraImages().removeObjectsAtIndexes({0, 2});
        c.reloadData();
        c.clearToolbarItemClicked();
        QCOMPARE(c.tableModel().rowCount(), 0);
        QCOMPARE(guitest::controls(c).numImagesTextField->text(), QStringLiteral("0 images"));
    }

    void rowsThatVanishedStillDrawUntilTheNextReload() {
        MainController& c = *_controller;
        addSixRecords(c);
        c.batch().pelloraImages().removeAllObjects();  // as the export does, before its reload
        QCOMPARE(c.tableModel().rowCount(), 6);
        QVERIFY(c.tableModel().recordAtRow(5) != nullptr);
        QCOMPARE(c.tableModel().index(5, SourceListModel::NameColumn).data().toString(), QStringLiteral("f.jpg"));
        QVERIFY(c.tableModel().recordAtRow(6) == nullptr);
        c.reloadData();
        QCOMPARE(c.tableModel().rowCount(), 0);
    }

    // Sizes are read from the files' headers and thumbnails decoded on
    // workers, both upright; asking does not wait for the file. A file that
    // cannot be read shows no size, and an empty square of side 41.
    void sizesAndThumbnailsArriveFromWorkersUpright() {
        MainController& c = *_controller;
        guitest::writeOrientedQuarters(_files.filePath(QStringLiteral("turned.jpg")), 6, 200, 300);
        guitest::addRecords(c, {path("wide.jpg"), path("turned.jpg"), path("notes.txt")});
        QCOMPARE(c.tableModel().headerData(SourceListModel::SizeColumn, Qt::Horizontal).toString(), QStringLiteral("Size"));
        QSignalSpy changed(&c.tableModel(), &QAbstractItemModel::dataChanged);
        const auto size = [&](int row) { return c.tableModel().index(row, SourceListModel::SizeColumn); };
        const auto icon = [&](int row) { return c.tableModel().index(row, SourceListModel::IconColumn); };
        QVERIFY(!size(0).data().isValid());
        for (int row = 0; row < 3; ++row) icon(row).data(Qt::DecorationRole);
        size(2).data();
        QTRY_COMPARE(size(0).data().toString(), QStringLiteral("160 x 120"));
        QTRY_COMPARE(size(1).data().toString(), QStringLiteral("200 x 300"));
        QTRY_VERIFY(!c.thumbnails().isMakingThumbnails());
        QCoreApplication::processEvents();
        for (const auto& cell : {std::pair(size(0), int(Qt::DisplayRole)), {icon(0), int(Qt::DecorationRole)}}) {
            QVERIFY(std::any_of(changed.begin(), changed.end(), [&](const QList<QVariant>& arguments) {
                return arguments.at(0).toModelIndex() == cell.first && arguments.at(2).value<QList<int>>().contains(cell.second);
            }));
        }
        QVERIFY(!size(2).data().isValid());
        QVERIFY(!icon(0).data(Qt::DecorationRole).value<QImage>().isNull());
        QCOMPARE(icon(0).data(SourceListModel::ThumbnailSizeRole).toSizeF(), QSizeF(41.0, 30.75));
        QCOMPARE(icon(1).data(SourceListModel::ThumbnailSizeRole).toSizeF(), QSizeF(200.0f / 300.0f * 41.0f, 41.0));
        QVERIFY(guitest::showsUprightQuarters(icon(1).data(Qt::DecorationRole).value<QImage>()));
        QVERIFY(icon(2).data(Qt::DecorationRole).value<QImage>().isNull());
        QCOMPARE(icon(2).data(SourceListModel::ThumbnailSizeRole).toSizeF(), QSizeF(41.0, 41.0));
    }

    // Every cell of a row has the full path as its tool tip, shown as the
    // plain text it is: bytes that are not UTF-8 are shown as \xNN, and a name
    // that looks like markup is not taken as markup.
    void theToolTipIsTheFullPathShownAsPlainText() {
        MainController& c = *_controller;
        const std::string folder = QFile::encodeName(_files.path()).toStdString();
        const std::string name = "caf\xE9 <b>bold & two  spaces.jpg";
        guitest::addRecords(c, {folder + "/" + name});
        QCOMPARE(guitest::controls(c).numImagesTextField->text(), QStringLiteral("1 image"));
        const QString shownName = QStringLiteral("caf\\xE9 <b>bold & two  spaces.jpg");
        QCOMPARE(c.tableModel().index(0, SourceListModel::NameColumn).data().toString(), shownName);
        for (int column = 0; column < SourceListModel::ColumnCount; ++column) {
            const QString toolTip = c.tableModel().index(0, column).data(Qt::ToolTipRole).toString();
            QTextDocument shown;
            shown.setHtml(toolTip);
            QCOMPARE(shown.toPlainText().replace(QChar::Nbsp, QLatin1Char(' ')), _files.path() + "/" + shownName);
        }
    }

    void fileNamesAreShownSafely_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QByteArray("IMG_0001.JPG") << QStringLiteral("IMG_0001.JPG");
        QTest::newRow("UTF-8 kept") << QByteArray("caf\xC3\xA9 \xF0\x9F\x93\xB7.jpg") << QStringLiteral("café 📷.jpg");
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xE9.jpg") << QStringLiteral("caf\\xE9.jpg");
        QTest::newRow("overlong slash") << QByteArray("a\xC0\xAF.jpg") << QStringLiteral("a\\xC0\\xAF.jpg");
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80.jpg") << QStringLiteral("\\xED\\xA0\\x80.jpg");
        QTest::newRow("cut short") << QByteArray("x\xE2\x82") << QStringLiteral("x\\xE2\\x82");
        QTest::newRow("line break and C1 control") << QByteArray("a\nb\xC2\x85.jpg") << QStringLiteral("a\\x0Ab\\xC2\\x85.jpg");
    }
    void fileNamesAreShownSafely() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(displayTextForFileName(bytes.toStdString()), shown);
    }

    void selectionChangesAreNotifiedAndTheLowestRowIsSelected() {
        MainController& c = *_controller;
        addSixRecords(c);
        SelectionNotifications notifications;
        selectRows(c, {2, 5});
        QVERIFY(notifications.count() >= 1);
        QCOMPARE(QString::fromStdString(c.selectedPelloraImage()->inputName()), QStringLiteral("c.jpg"));
        selectRows(c, {});
        QVERIFY(c.selectedPelloraImage() == nullptr);

        // A reload that shortens the list drops selected rows past its end, and says so once.
        selectRows(c, {5});
        SelectionNotifications afterReload;
        c.batch().pelloraImages().removeObjectsAtIndexes({4, 5});
        c.reloadData();
        QVERIFY(selectedRowsOf(c).empty());
        QCOMPARE(afterReload.count(), 1);
    }

    void removingKeepsTheSelectionNearWhereItWas_data() {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("left");
        QTest::addColumn<QList<int>>("selectedAfter");
        QTest::addColumn<QString>("selectedName");
        // The same row index may stand for another record: that is a change for the viewer.
        QTest::newRow("one row selects the row above") << QList<int>{4} << 5 << QList<int>{3} << "d.jpg";
        QTest::newRow("the first row selects the new first") << QList<int>{0} << 5 << QList<int>{0} << "b.jpg";
        QTest::newRow("several rows leave no selection") << QList<int>{1, 3, 4} << 3 << QList<int>{} << "";
        QTest::newRow("no selection removes nothing") << QList<int>{} << 6 << QList<int>{} << "";
    }
    void removingKeepsTheSelectionNearWhereItWas() {
        QFETCH(QList<int>, selected);
        QFETCH(int, left);
        QFETCH(QList<int>, selectedAfter);
        QFETCH(QString, selectedName);
        MainController& c = *_controller;
        addSixRecords(c);
        selectRows(c, selected);
        SelectionNotifications notifications;
        c.removeToolbarItemClicked();
        QCOMPARE(c.tableModel().rowCount(), left);
        QCOMPARE(guitest::controls(c).numImagesTextField->text(), QStringLiteral("%1 images").arg(left));
        QCOMPARE(selectedRowsOf(c), std::vector<int>(selectedAfter.begin(), selectedAfter.end()));
        if (!selectedName.isEmpty()) {
            QCOMPARE(QString::fromStdString(c.selectedPelloraImage()->inputName()), selectedName);
            QVERIFY(notifications.count() >= 1);
        }
        if (selected.size() == 3) {
            QCOMPARE(c.tableModel().index(1, SourceListModel::NameColumn).data().toString(), QStringLiteral("c.jpg"));
        }
    }

    void aDisabledTableIgnoresTheMouse() {
        MainController& c = *_controller;
        addSixRecords(c);
        c.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.window()));
        c.batch().setIsImporting(true);
        c.updateInterface();
        const QRect row2 = guitest::controls(c).imagesTableView->visualRect(c.tableModel().index(2, SourceListModel::NameColumn));
        QTest::mouseClick(guitest::controls(c).imagesTableView->viewport(), Qt::LeftButton, {}, row2.center());
        QTest::mouseDClick(guitest::controls(c).imagesTableView->viewport(), Qt::LeftButton, {}, row2.center());
        QVERIFY(selectedRowsOf(c).empty());
        QVERIFY(!c.hasViewerController());
        c.batch().setIsImporting(false);
        c.updateInterface();
        QTest::mouseClick(guitest::controls(c).imagesTableView->viewport(), Qt::LeftButton, {}, row2.center());
        QCOMPARE(selectedRowsOf(c), std::vector<int>{2});
    }

    // A drag is offered as a copy only when something would be added; a drop on
    // any row adds the images at the end.
    void dragsAreOfferedWhenSomethingWouldBeAddedAndDropsAddAtTheEnd() {
        MainController& c = *_controller;
        addSixRecords(c);
        const QByteArray text = fileUri(_files.filePath("notes.txt")) + "\r\n";
        const QByteArray image = fileUri(_files.filePath("wide.jpg")) + "\r\n";
        const QByteArray folder = fileUri(_files.filePath("folder")) + "\r\n";
        const QByteArray emptyFolder = fileUri(QDir::tempPath() + "/pellora-no-such-folder") + "\r\n";
        for (const auto& [list, offered] : std::vector<std::pair<QByteArray, bool>>{
                 {text, false}, {emptyFolder, false}, {"https://example.com/a.jpg\r\n", false}, {folder, true}}) {
            QCOMPARE(guitest::dragUriListOntoTable(c, list, false), offered);
        }
        QVERIFY(guitest::dragUriListOntoTable(c, text + image + folder, true));
        QVERIFY(guitest::waitUntilIdle(c));
        QCOMPARE(c.tableModel().rowCount(), 8);
        QCOMPARE(c.tableModel().index(6, SourceListModel::NameColumn).data().toString(), QStringLiteral("wide.jpg"));
        QCOMPARE(c.tableModel().index(7, SourceListModel::NameColumn).data().toString(), QStringLiteral("inside.jpg"));
        QCOMPARE(guitest::controls(c).numImagesTextField->text(), QStringLiteral("8 images"));
    }

    void uriListsKeepTheFileSystemBytesOfOddNames() {
        const std::vector<std::string> paths = localPathsFromUriList(
            "# a comment\r\nfile:///tmp/a%20b.jpg\r\nfile://localhost/tmp/caf%C3%A9.png\r\n"
            "file:///tmp/latin%E9.jpg\r\nfile://otherhost/tmp/x.jpg\r\nhttp://example.com/y.jpg\r\n"
            "file:/tmp/q%3F.jpg\r\nfile:///tmp/nul%00.jpg\r\n");
        QCOMPARE(paths, (std::vector<std::string>{"/tmp/a b.jpg", "/tmp/caf\xC3\xA9.png", "/tmp/latin\xE9.jpg", "/tmp/q?.jpg"}));
    }

    void nameCellDrawsInBlackPastItsCell() {
        PelloraImageNameCell cell;
        QStandardItemModel model(1, 1);
        model.setItem(0, 0, new QStandardItem(QStringLiteral("A rather long file name that runs on.jpg")));
        QImage canvas(300, 45, QImage::Format_ARGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 60, 45);
        option.state = QStyle::State_Enabled | QStyle::State_Selected;
        option.showDecorationSelected = true;  // as a table view sets it
        option.palette.setColor(QPalette::Highlight, QColor(0, 0, 200));
        cell.paint(&painter, option, model.index(0, 0));
        painter.end();
        // Text beyond the cell's right edge, and none of it white.
        int darkPastTheCell = 0;
        int whiteInTheCell = 0;
        for (int i = 0; i < 300 * 45; ++i) {
            const int x = i % 300, lightness = canvas.pixelColor(x, i / 300).lightness();
            darkPastTheCell += x >= 60 && lightness < 80 ? 1 : 0;
            whiteInTheCell += x < 60 && lightness > 240 ? 1 : 0;
        }
        QVERIFY(darkPastTheCell > 20);
        QCOMPARE(whiteInTheCell, 0);
        QCOMPARE(PelloraImageNameCell::textOrigin(QRectF(10, 100, 200, 45), 15), QPointF(12, 115));
    }

    // Sizes come before thumbnails, rows on screen first, rows drawn again
    // move ahead, and removed records are cancelled.
    void sizesComeBeforeThumbnailsRowsDrawnAgainFirstAndRemovedRecordsAreCancelled() {
        // Without a stored preview: decoded, which keeps the one worker busy a while.
        guitest::writeJpeg(_files.filePath(QStringLiteral("large.jpg")), 6000, 4000);
        ThumbnailCache cache(nullptr, 1);
        SourceListModel model(cache);
        std::vector<PelloraImagePtr> records{PelloraImage::pelloraImageWithPath(path("large.jpg"))};
        for (int index = 0; index < 10; ++index) records.push_back(PelloraImage::pelloraImageWithPath(path("folder/inside.jpg")));
        const auto rowOf = [&](const PelloraImage* record) {
            return QString::number(std::find_if(records.begin(), records.end(), [&](const auto& r) { return r.get() == record; }) -
                                   records.begin());
        };
        QStringList events;
        connect(&cache, &ThumbnailCache::pixelSizeReady, this, [&](const PelloraImage* record) { events << "size " + rowOf(record); });
        connect(&cache, &ThumbnailCache::thumbnailReady, this,
                [&](const PelloraImage* record) { events << "thumbnail " + rowOf(record); });
        model.reload(records);
        const auto draw = [&](int row) { model.index(row, SourceListModel::IconColumn).data(Qt::DecorationRole); };

        // The one worker reads the large file's size, then decodes it; the rest wait behind.
        draw(0);
        QDeadlineTimer deadline(10000);
        while ((events.isEmpty() || cache.waitingCount() != 0) && !deadline.hasExpired()) QCoreApplication::processEvents();
        QCOMPARE(events, QStringList{"size 0"});
        for (int row = 1; row <= 10; ++row) draw(row);
        draw(3);  // drawn again, as a row scrolled back into view
        std::vector<PelloraImagePtr> kept = records;
        kept.erase(kept.begin() + 6);  // removed from the list while waiting
        model.reload(kept);
        QCOMPARE(cache.waitingCount(), std::size_t{9});

        QTRY_VERIFY_WITH_TIMEOUT(events.size() == 20 && !cache.isMakingThumbnails(), 20000);
        QStringList expected{"size 0", "thumbnail 0"};
        const QList<int> order{3, 10, 9, 8, 7, 5, 4, 2, 1};
        for (const int row : order) expected << "size " + QString::number(row);
        for (const int row : order) expected << "thumbnail " + QString::number(row);
        QCOMPARE(events, expected);
        QCOMPARE(cache.waitingCount(), std::size_t{0});
    }

    void onlyRowsOnScreenAreReadUntilTheListScrolls() {
        MainController& c = *_controller;
        c.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.window()));
        QTemporaryDir folder;
        std::vector<std::string> paths;
        for (int index = 0; index < 300; ++index) {
            const std::string name = folder.filePath(QStringLiteral("photo%1.jpg").arg(index, 3, 10, QLatin1Char('0'))).toStdString();
            QVERIFY(::link(path("folder/inside.jpg").c_str(), name.c_str()) == 0);
            paths.push_back(name);
        }
        std::set<std::string> arrived;
        connect(&c.thumbnails(), &ThumbnailCache::thumbnailReady, this,
                [&](const PelloraImage* record) { arrived.insert(record->inputPath()); });
        guitest::addRecords(c, paths);
        const auto visibleRows = [&] {
            QTableView& table = *guitest::controls(c).imagesTableView;
            const int first = table.rowAt(0);
            const int last = table.rowAt(table.viewport()->height() - 1);
            return std::pair(first, last < 0 ? table.model()->rowCount() - 1 : last);
        };
        const auto shownPaths = [&] {
            std::set<std::string> shown;
            const auto [first, last] = visibleRows();
            for (int row = first; row <= last; ++row) shown.insert(c.tableModel().recordAtRow(row)->inputPath());
            return shown;
        };
        const std::set<std::string> top = shownPaths();
        QVERIFY(!top.empty() && top.size() < paths.size() / 2);
        QTRY_VERIFY_WITH_TIMEOUT(arrived.size() >= top.size() && !c.thumbnails().isMakingThumbnails(), 20000);
        QVERIFY(arrived == top);

        guitest::controls(c).imagesTableView->verticalScrollBar()->setValue(guitest::controls(c).imagesTableView->verticalScrollBar()->maximum());
        const std::set<std::string> bottom = shownPaths();
        QVERIFY(bottom.count(paths.back()) == 1);
        QTRY_VERIFY_WITH_TIMEOUT(arrived.count(paths.back()) == 1 && !c.thumbnails().isMakingThumbnails(), 20000);
        for (const std::string& shown : bottom) QVERIFY(arrived.count(shown) == 1);
        QVERIFY(arrived.size() < paths.size() / 2);
    }

private:
    std::string path(const char* name) const { return QFile::encodeName(_files.filePath(QString::fromUtf8(name))).toStdString(); }
    static void addSixRecords(MainController& controller) {
        guitest::addRecords(controller, {"/nowhere/a.jpg", "/nowhere/b.jpg", "/nowhere/c.jpg", "/nowhere/d.jpg",
                                         "/nowhere/e.jpg", "/nowhere/f.jpg"});
    }

    QTemporaryDir _files;
    std::unique_ptr<MainController> _controller;
};

PELLORA_GUI_TEST_MAIN(SourceTableTest)
#include "SourceTableTest.moc"
