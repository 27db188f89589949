#include "common/WindowMessages.h"

#include <QCoreApplication>
#include <QThread>

namespace kova {

void postMessage(QObject* target, int number, QVariant first, QVariant second) {
    QCoreApplication::postEvent(target,
                                new WindowMessage(number, std::move(first), std::move(second)));
}

qintptr sendMessage(QObject* target, int number, QVariant first, QVariant second) {
    WindowMessage message(number, std::move(first), std::move(second));
    if (target->thread() == QThread::currentThread()) {
        QCoreApplication::sendEvent(target, &message);
    } else {
        // Blocking: the caller's arguments live on its stack until the handler is done.
        QMetaObject::invokeMethod(
            target, [target, &message] { QCoreApplication::sendEvent(target, &message); },
            Qt::BlockingQueuedConnection);
    }
    return message.result;
}

}  // namespace kova
