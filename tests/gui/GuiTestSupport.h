#pragma once

// The Qt modules and the window's headers that every test of the window uses.
#include <QtTest>
#include <QtWidgets>
#include <memory>
#include <string>
#include <vector>

#include "app/MainController.h"
#include "app/MainWindow.h"
#include "model/PelloraImage.h"
#include "model/SettingsKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/SourceListModel.h"

namespace pellora::guitest {

// The main window's controller, noting whether a job has handed its end to
// the window: once its flag drops, a job reloads the table (waiting for it)
// and refreshes the window; each job's start marks the window busy at once.
class TestController final : public MainController {
public:
    void reloadData() override {
        MainController::reloadData();
        _reloadedIdle = !batch().isBusy();
    }
    void updateInterface() override {
        MainController::updateInterface();
        const bool idle = !batch().isBusy();
        _reloadedIdle = _reloadedIdle && idle;
        _refreshedIdle = _reloadedIdle;
    }
    void disableExportButton() override {
        MainController::disableExportButton();
        _reloadedIdle = _refreshedIdle = false;
    }
    bool refreshedIdle() const { return _refreshedIdle; }

private:
    bool _reloadedIdle = true;
    bool _refreshedIdle = true;
};

// The main window's controls and menu items, found by the object names the
// layout gives them; a control the window lacks is null.
struct MainWindowControls {
    ImagesTableView* imagesTableView;
    QScrollBar* imageTableVerticalScroller;
    QLabel* numImagesTextField;
    QComboBox* scalingPopUpButton;
    QStackedWidget* scalingEnclosureTabView;
    QComboBox* maxSideComboBox;
    QComboBox* maxWidthComboBox;
    QComboBox* maxHeightComboBox;
    QSlider* scalePercentageSlider;
    QLabel* scalePercentageTextField;
    QComboBox* formatPopUpButton;
    QSlider* jpegQualitySlider;
    QLabel* jpegQualityTextField;
    QSlider* jpeg2000QualitySlider;
    QLabel* jpeg2000QualityTextField;
    QPushButton* exportButton;
    QProgressBar* progressBar;
    QAction* addFilesMenuItem;
    QAction* exportMenuItem;
    QAction* viewSelectedMenuItem;
    QAction* quitMenuItem;
    QAction* addRecentMenuItem;
    QAction* checkForUpdatesMenuItem;
    QAction* preferencesMenuItem;
};
MainWindowControls controls(const MainController& controller);

// Writes a JPEG of the given size (a smooth gradient) with the core's encoder.
void writeJpeg(const QString& path, int width, int height);
// Writes a JPEG of the quarters picture (test::quarters), upright width x
// height, tagged with the EXIF orientation and stored as the tag wants.
void writeOrientedQuarters(const QString& path, int tag, int width, int height);
// True when the centre of each quarter of image has the colour of that
// quarter of the upright quarters picture (within JPEG's error).
bool showsUprightQuarters(const QImage& image);
// Makes the main window (a TestController) as a launch does: shown when asked, then told that
// the application finished launching. False when the shown window was not exposed.
bool launch(std::unique_ptr<MainController>& controller, bool shown);
// Adds a record for each path to the source list and reloads the table.
void addRecords(MainController& controller, const std::vector<std::string>& paths);
// Waits until neither an import nor an export runs, the window has had its
// final refresh (controller is a TestController), and the job's thread has
// ended and its last hand-over (an export's report) has been delivered.
bool waitUntilIdle(MainController& controller, int timeoutMs = 20000);
// Writes count camera-sized JPEGs into the folder sources, sets the fixed
// export folder output in the settings and imports them. False when the
// import did not finish.
bool importPhotosForFixedFolderExport(MainController& controller, const QString& sources, const QString& output,
                                      int count);
// Sends a drag of the given uri-list to the table's viewport: enter, move,
// and, when drop is true and the drag was accepted, the drop. Returns whether
// the table accepted the drag.
bool dragUriListOntoTable(MainController& controller, const QByteArray& uriList, bool drop);
// A text/uri-list line for a local path.
QByteArray fileUri(const QString& path);

// An update database address on 127.0.0.1 where nothing listens.
QByteArray unreachableUpdateURL();

// What an application-modal alert showed, and the button that answered it.
struct AnsweredAlert {
    QString text;
    QString informativeText;
    QStringList buttons;
    bool answered = false;
};
// Waits (from a timer, so it also works while a modal loop runs on the main
// thread) for the next message box and clicks the button with the given
// title; the returned record fills in when it has.
std::shared_ptr<AnsweredAlert> answerNextAlert(const QString& button, int timeoutMs = 10000);

} // namespace pellora::guitest

// Every GUI test program runs with a settings folder of its own, so the
// user's settings and recent files are never read or written.
#define PELLORA_GUI_TEST_MAIN(TestClass)                                   \
    int main(int argc, char** argv) {                                      \
        QTemporaryDir configHome;                                          \
        qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());            \
        qputenv("XDG_DATA_HOME", configHome.path().toUtf8() + "/data");    \
        /* A launch's update check never leaves the machine. */            \
        qputenv("PELLORA_UPDATE_URL", pellora::guitest::unreachableUpdateURL()); \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {              \
            qputenv("QT_QPA_PLATFORM", "offscreen");                       \
        }                                                                  \
        QApplication application(argc, argv);                              \
        QApplication::setQuitOnLastWindowClosed(false);                    \
        TestClass test;                                                    \
        const int failures = QTest::qExec(&test, argc, argv);              \
        /* Written now, before the settings folder goes. */                \
        pellora::UserDefaults::standard().synchronize();                   \
        return failures;                                                   \
    }
