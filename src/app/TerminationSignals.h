#pragma once

#include <QObject>

class QSocketNotifier;

namespace pellora {

// Turns SIGTERM and SIGINT into a Qt signal on the thread that made this
// object. The handler does the one thing a signal handler may safely do: it
// writes a byte into a socket pair; a notifier on the other end emits
// received() from the event loop. One instance at a time; while it lives it
// owns the handlers of both signals, and its end puts the defaults back.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Whether the handlers are in place (false when the socket pair could not be made).
    bool isInstalled() const { return _notifier != nullptr; }

signals:
    void received();

private:
    void drain();

    QSocketNotifier* _notifier = nullptr;
};

} // namespace pellora
