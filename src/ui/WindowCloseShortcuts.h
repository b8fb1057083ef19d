#pragma once

class QWidget;

namespace pellora {

// Lets Escape and Ctrl+W close a secondary window (the viewer, the
// preferences) while it is the active window.
void addWindowCloseShortcuts(QWidget* window);

} // namespace pellora
