// The order in which the list's sizes and thumbnails are read: sizes first,
// rows on screen first, rows drawn again moved ahead, removed records cancelled.
#include <QFile>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <set>
#include <unistd.h>

#include "GuiTestSupport.h"
#include "app/MainController.h"
#include "app/MainWindow.h"
#include "model/PelloraImage.h"
#include "ui/SourceListModel.h"
#include "ui/ThumbnailCache.h"

using namespace pellora;

class ThumbnailOrderTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(_files.isValid());
        guitest::writeJpeg(_files.filePath(QStringLiteral("small.jpg")), 40, 30);
        // Without a stored preview: decoded, which keeps the one worker busy a while.
        guitest::writeJpeg(_files.filePath(QStringLiteral("large.jpg")), 6000, 4000);
    }

    void sizesComeBeforeThumbnailsRowsDrawnAgainFirstAndRemovedRecordsAreCancelled() {
        ThumbnailCache cache(nullptr, 1);
        SourceListModel model(cache);
        std::vector<PelloraImagePtr> records{PelloraImage::pelloraImageWithPath(path("large.jpg"))};
        for (int index = 0; index < 10; ++index) records.push_back(PelloraImage::pelloraImageWithPath(path("small.jpg")));
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
        std::unique_ptr<MainController> controller;
        QVERIFY(guitest::launch(controller, true));
        MainController& c = *controller;
        QTemporaryDir folder;
        std::vector<std::string> paths;
        for (int index = 0; index < 300; ++index) {
            const std::string name = folder.filePath(QStringLiteral("photo%1.jpg").arg(index, 3, 10, QLatin1Char('0'))).toStdString();
            QVERIFY(::link(path("small.jpg").c_str(), name.c_str()) == 0);
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

        QScrollBar* scroller = guitest::controls(c).imageTableVerticalScroller;
        scroller->setValue(scroller->maximum());
        const std::set<std::string> bottom = shownPaths();
        QVERIFY(bottom.count(paths.back()) == 1);
        QTRY_VERIFY_WITH_TIMEOUT(arrived.count(paths.back()) == 1 && !c.thumbnails().isMakingThumbnails(), 20000);
        for (const std::string& shown : bottom) QVERIFY(arrived.count(shown) == 1);
        QVERIFY(arrived.size() < paths.size() / 2);
    }

private:
    std::string path(const char* name) const { return QFile::encodeName(_files.filePath(QString::fromUtf8(name))).toStdString(); }

    QTemporaryDir _files;
};

PELLORA_GUI_TEST_MAIN(ThumbnailOrderTest)
#include "ThumbnailOrderTest.moc"
