#pragma once

#include <QObject>
#include <QTimer>
#include <string>

#include "platform/foundation/UserDefaults.h"

class QWidget;

namespace pellora {

// Keeps a window's frame in the settings store under a name: setFrameUsingName
// puts the saved frame back, and from then on every move and resize is saved
// (coalesced, so a drag writes once when it pauses) and once more when the
// window hides. The frame is stored as the window's own geometry record, which
// also knows the screen it was on.
class WindowFrameAutosave : public QObject {
    Q_OBJECT

public:
    WindowFrameAutosave(QWidget* window, std::string frameName, UserDefaults& defaults);

    // Restores the frame saved under the name; false when none was saved or it
    // could not be used, in which case the window keeps its frame.
    bool setFrameUsingName();
    void saveFrame();

    // Centres the window on the screen it is on, or the primary screen.
    static void center(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* _window;
    const std::string _frameName;
    UserDefaults& _defaults;
    QTimer _saveTimer;
};

} // namespace pellora
