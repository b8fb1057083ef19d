#pragma once

#include <QApplication>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>
#include <string>

#include "platform/foundation/UserDefaults.h"

namespace pellora {
class MainController;
}

namespace pellora::guitest {

// Writes a JPEG of the given size (a smooth gradient) with the core's encoder.
void writeJpeg(const QString& path, int width, int height);
// Waits until neither an import nor an export runs and the window has had
// its final refresh.
bool waitUntilIdle(MainController& controller, int timeoutMs = 20000);
// Sends a drag of the given uri-list to the table's viewport: enter, move,
// and, when drop is true and the drag was accepted, the drop. Returns whether
// the table accepted the drag.
bool dragUriListOntoTable(MainController& controller, const QByteArray& uriList, bool drop);
// A text/uri-list line for a local path.
QByteArray fileUri(const QString& path);

} // namespace pellora::guitest

// Every GUI test program runs with a settings folder of its own, so the
// user's settings are never read or written.
#define PELLORA_GUI_TEST_MAIN(TestClass)                                   \
    int main(int argc, char** argv) {                                      \
        QTemporaryDir configHome;                                          \
        qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());            \
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
