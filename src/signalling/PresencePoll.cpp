#include "signalling/PresencePoll.h"

#include <optional>

#include "contacts/ContactEntry.h"
#include "platform/SocketErrors.h"
#include "platform/ThreadName.h"
#include "platform/UdpSocket.h"

namespace kova {

PresencePoll::PresencePoll(PollStep pollStep, Query query, QObject* parent, Resolve resolve)
    : QObject(parent),
      pollStep_(std::move(pollStep)),
      query_(std::move(query)),
      resolve_(resolve ? std::move(resolve) : Resolve(&UdpSocket::resolve)) {
    timer_.setInterval(kPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &PresencePoll::pollOnce);
}

PresencePoll::~PresencePoll() {
    KOVA_ASSERT_THREAD(ownerThread_);
    closing_ = true;
    waitForPass();
}

void PresencePoll::start() {
    pollOnce();
    timer_.start();
}

void PresencePoll::stop() {
    timer_.stop();
}

void PresencePoll::waitForPass() {
    KOVA_ASSERT_THREAD(ownerThread_);
    if (worker_ != nullptr) {
        joinWorker(*worker_);
        delete worker_;
        worker_ = nullptr;
    }
}

bool PresencePoll::pollOnce() {
    KOVA_ASSERT_THREAD(ownerThread_);
    // A pass that outlasts the period (name service hanging) must not pile up
    // workers: the tick is skipped.
    if (passRunning() || closing_) {
        return false;
    }
    waitForPass();
    QStringList addresses;
    for (int i = 0; i < kMaxContacts; ++i) {
        const std::optional<QString> address = pollStep_(i);
        if (!address) {
            break;
        }
        addresses << *address;
    }
    {
        // No worker runs now; an answer to the last pass comes too late.
        std::lock_guard lock(sentLock_);
        sentAt_.clear();
    }
    worker_ = createWorker([this, addresses] {
        for (const QString& address : addresses) {
            if (closing_) {
                return;
            }
            ask(address);
            QThread::yieldCurrentThread();
        }
    });
    nameThread(*worker_, "kova-presence");
    workerThread_.attach(worker_);
    worker_->start();
    return true;
}

void PresencePoll::ask(const QString& address) {
    KOVA_ASSERT_THREAD(workerThread_);
    if (const auto dotted = UdpSocket::parseDotted(address)) {
        noteSent(*dotted);
        query_(address);
        return;
    }
    int error = 0;
    const std::optional<std::uint32_t> ipv4 = resolve_(address, &error);
    if (ipv4) {
        error = 0;
    } else if (error == 0) {
        error = kWsaInvalidHost;
    }
    // Queued: the contact list lives on the poll's thread. The destructor
    // waits for this worker, so `this` is still there to post to.
    QMetaObject::invokeMethod(
        this,
        [this, address, value = ipv4.value_or(0), error] {
            emit nameResolved(address, value, error);
        },
        Qt::QueuedConnection);
    if (ipv4) {
        noteSent(*ipv4);
        query_(UdpSocket::dottedText(*ipv4));
    }
}

void PresencePoll::noteSent(std::uint32_t ipv4) {
    std::lock_guard lock(sentLock_);
    sentAt_[contactKeyOf(ipv4)] = std::chrono::steady_clock::now();
}

std::optional<int> PresencePoll::answered(std::uint32_t key) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(sentLock_);
    const auto it = sentAt_.find(key);
    if (it == sentAt_.end()) {
        return std::nullopt;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - it->second);
    sentAt_.erase(it);
    return static_cast<int>(ms.count());
}

}  // namespace kova
