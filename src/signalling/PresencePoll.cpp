#include "signalling/PresencePoll.h"

#include <optional>

namespace kova {

PresencePoll::PresencePoll(PollStep pollStep, Query query, QObject* parent)
    : QObject(parent), pollStep_(std::move(pollStep)), query_(std::move(query)) {
    timer_.setInterval(kPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &PresencePoll::pollOnce);
}

PresencePoll::~PresencePoll() {
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
    if (worker_ != nullptr) {
        worker_->wait();
        delete worker_;
        worker_ = nullptr;
    }
}

bool PresencePoll::pollOnce() {
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
    worker_ = QThread::create([this, addresses] {
        for (const QString& address : addresses) {
            if (closing_) {
                return;
            }
            query_(address);
            QThread::yieldCurrentThread();
        }
    });
    worker_->setObjectName(QStringLiteral("kova-presence-poll"));
    worker_->start();
    return true;
}

}  // namespace kova
