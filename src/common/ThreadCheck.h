#pragma once
// The thread an object's thread-only methods must run on. Debug builds assert
// it (KOVA_ASSERT_THREAD); release builds keep the pointer but never look.
//
// The owner is the constructing thread until attach() hands it on. Attach a
// worker's QThread before starting it, or call attachToCurrent() first thing
// on a std::thread: either way the later checks on that thread are ordered
// after the write and read it without a lock.

#include <QThread>
#include <QtGlobal>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace kova {

class ThreadCheck {
public:
    ThreadCheck() = default;

    void attach(QThread* thread) { owner_ = thread; }
    void attachToCurrent() { owner_ = QThread::currentThread(); }
    bool isCurrentThread() const { return QThread::currentThread() == owner_; }

private:
    QThread* owner_ = QThread::currentThread();
};

// QThread::wait() synchronises through Qt's own futexes, which a
// ThreadSanitizer build cannot see into: a worker made here marks its end and
// joinWorker the wait, so what the worker did is ordered before what its owner
// does next (freeing what the worker used, say) and no false race is reported.
// A QThread subclass with a run() of its own sets the marks itself: at the end
// of run(), after its locals are gone, and after the owner's wait().
inline void markWorkerEnd() {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(QThread::currentThread());
#endif
}

inline void waitedForWorker([[maybe_unused]] QThread& worker) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(&worker);
#endif
}

// Marks a hand-over that an atomic's release/acquire pair already orders, for
// the places where ThreadSanitizer was seen to miss that pair.
inline void markHandOver([[maybe_unused]] const void* what) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void*>(what));
#endif
}

inline void seeHandOver([[maybe_unused]] const void* what) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void*>(what));
#endif
}

template <typename Body>
QThread* createWorker(Body body) {
    return QThread::create([body = std::move(body)]() mutable {
        body();
        markWorkerEnd();
    });
}

inline void joinWorker(QThread& worker) {
    worker.wait();
    waitedForWorker(worker);
}

// Runs body on target's thread from its event queue. The queue orders body
// after what the posting thread wrote before, again behind Qt's futexes; a
// release on the target's address shows that hand-over to ThreadSanitizer.
template <typename Body>
bool invokeQueued(QObject* target, Body body) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(target);
    return QMetaObject::invokeMethod(
        target,
        [body = std::move(body), target]() mutable {
            __tsan_acquire(target);
            body();
        },
        Qt::QueuedConnection);
#else
    return QMetaObject::invokeMethod(target, std::move(body), Qt::QueuedConnection);
#endif
}

}  // namespace kova

#define KOVA_ASSERT_THREAD(check) \
    Q_ASSERT_X((check).isCurrentThread(), Q_FUNC_INFO, "called on the wrong thread")
