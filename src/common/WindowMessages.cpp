#include "common/WindowMessages.h"

#include <QCoreApplication>
#include <QThread>

#if defined(__SANITIZE_THREAD__)
#include <mutex>

#include <sanitizer/tsan_interface.h>
#endif

namespace kova {

#if defined(__SANITIZE_THREAD__)
namespace {
// Qt's event queue hands a posted event over behind its own futexes, which
// ThreadSanitizer cannot see into: the poster releases on the event, and every
// delivery acquires on it before a handler reads it or the loop deletes it.
bool acquireDelivered(void** data) {
    __tsan_acquire(data[1]);
    return false;  // deliver as usual
}

void showHandOverToTsan(QEvent* event) {
    static std::once_flag hooked;
    std::call_once(hooked, [] {
        QInternal::registerCallback(QInternal::EventNotifyCallback, acquireDelivered);
    });
    __tsan_release(event);
}
}  // namespace
#endif

void postMessage(QObject* target, int number, QVariant first, QVariant second) {
    auto* message = new WindowMessage(number, std::move(first), std::move(second));
#if defined(__SANITIZE_THREAD__)
    showHandOverToTsan(message);
#endif
    QCoreApplication::postEvent(target, message);
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
