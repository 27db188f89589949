#include "platform/NameResolver.h"

#include <QThread>
#include <algorithm>

#include "platform/SocketErrors.h"
#include "platform/ThreadName.h"
#include "platform/UdpSocket.h"

namespace kova {

NameResolver::NameResolver(QObject* parent, Resolve resolve)
    : QObject(parent), resolve_(resolve ? std::move(resolve) : Resolve(&UdpSocket::resolve)) {}

NameResolver::~NameResolver() {
    KOVA_ASSERT_THREAD(ownerThread_);
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    if (worker_ != nullptr) {
        joinWorker(*worker_);
        delete worker_;
    }
}

void NameResolver::lookUp(const QString& name) {
    KOVA_ASSERT_THREAD(ownerThread_);
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= kMaxQueued ||
            std::find(queue_.begin(), queue_.end(), name) != queue_.end()) {
            return;
        }
        queue_.push_back(name);
    }
    wake_.notify_one();
    if (worker_ == nullptr) {
        worker_ = createWorker([this] { run(); });
        nameThread(*worker_, "kova-resolver");
        workerThread_.attach(worker_);
        worker_->start();
    }
}

void NameResolver::run() {
    KOVA_ASSERT_THREAD(workerThread_);
    for (;;) {
        QString name;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) {
                return;
            }
            name = queue_.front();
            queue_.pop_front();
        }
        int error = 0;
        const std::optional<std::uint32_t> ipv4 = resolve_(name, &error);
        if (!ipv4 && error == 0) {
            error = kWsaInvalidHost;
        }
        // Queued: the answer belongs to the owner's thread. The destructor
        // joins this thread first, so `this` outlives the call; an answer not
        // yet delivered then goes with the object.
        QMetaObject::invokeMethod(
            this,
            [this, name, ipv4 = ipv4.value_or(0), error = ipv4 ? 0 : error] {
                emit resolved(name, ipv4, error);
            },
            Qt::QueuedConnection);
    }
}

}  // namespace kova
