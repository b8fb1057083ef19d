#include "app/QtMainThreadDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace pellora {

void QtMainThreadDispatcher::post(std::function<void()> call) {
    std::lock_guard lock(_mutex);
    if (!_shutDown) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(call), Qt::QueuedConnection);
    }
}

void QtMainThreadDispatcher::postAndWait(std::function<void()> call) {
    QCoreApplication* application = QCoreApplication::instance();
    if (QThread::currentThread() == application->thread()) {
        call();
        return;
    }
    {
        std::lock_guard lock(_mutex);
        if (_shutDown) {
            return;
        }
        ++_waitingCalls;
    }
    QMetaObject::invokeMethod(application, std::move(call), Qt::BlockingQueuedConnection);
    --_waitingCalls;
}

void QtMainThreadDispatcher::shutDown() {
    {
        std::lock_guard lock(_mutex);
        _shutDown = true;
    }
    while (_waitingCalls > 0) {
        QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
        QThread::yieldCurrentThread();
    }
}

} // namespace pellora
