#pragma once

namespace pellora {

// What the jobs change in the main window. The jobs call these only on the
// main thread, through the controller's MainThreadDispatcher, in the order in
// which the work happened. The GUI implements them with its widgets; the
// terminal front end draws a progress bar or prints lines.
class WindowStateSink {
public:
    virtual ~WindowStateSink() = default;

    // Sets every control from the job flags and the list (idle, importing, exporting).
    virtual void updateInterface() = 0;
    // Shows the progress bar with this maximum and the value 0, in place of the count label.
    virtual void readyProgressBarWithMax(double max) = 0;
    // Sets the progress bar's value and redraws it at once.
    virtual void setProgressValue(double value) = 0;
    // Reloads the source list table from the list.
    virtual void reloadData() = 0;
    // Disables the export button (an import has been requested).
    virtual void disableExportButton() = 0;
};

} // namespace pellora
