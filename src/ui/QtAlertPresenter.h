#pragma once

#include <atomic>

#include "platform/foundation/MainThread.h"
#include "update/AlertPresenter.h"

namespace pellora {

// Shows alerts as application-modal message boxes on the main thread, the
// application brought to the front. Asked from another thread, it hands the
// alert to the main thread and waits there for the answer. Once closed it
// shows nothing more: a check still running at quit cannot open an alert.
class QtAlertPresenter final : public AlertPresenter {
public:
    explicit QtAlertPresenter(MainThreadDispatcher& mainThread) : _mainThread(mainThread) {}

    int runModal(const Alert& alert) override;
    // From now on every alert answers as dismissed without being shown.
    void close() { _closed = true; }

private:
    int runOnMainThread(const Alert& alert) const;

    MainThreadDispatcher& _mainThread;
    std::atomic<bool> _closed{false};
};

} // namespace pellora
