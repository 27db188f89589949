#include "signalling/PortMappingService.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/PortMapperNatPmp.h"
#include "platform/PortMapperUpnp.h"
#include "platform/ThreadName.h"

namespace kova {

namespace {
std::atomic<int> gRunningWorkers{0};
// Left of the stop budget for the worker to notice and finish its last call.
constexpr std::chrono::milliseconds kStopMargin{200};
}  // namespace

struct PortMappingService::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    PortMappingCore::Clock::time_point stopDeadline;
    PortMappingState state;
    // Set before the worker starts, never written after; copied on the worker
    // (its reference count is atomic) and read on the UI thread, where the
    // service may be gone by then.
    QPointer<PortMappingService> owner;
};

PortMappingService::PortMappingService(bool enabled, QList<Port> ports, MakeMappers makeMappers,
                                       QObject* parent)
    : QObject(parent),
      enabled_(enabled),
      ports_(std::move(ports)),
      makeMappers_(makeMappers ? std::move(makeMappers) : MakeMappers(&routerMappers)),
      shared_(std::make_shared<Shared>()) {
    shared_->owner = this;
    shared_->state = PortMappingCore::initialState(
        ports_, enabled_ ? PortMappingState::Status::Looking : PortMappingState::Status::Off);
}

PortMappingService::~PortMappingService() {
    stop();
}

std::vector<std::unique_ptr<IPortMapper>> PortMappingService::routerMappers() {
    std::vector<std::unique_ptr<IPortMapper>> mappers;
    mappers.push_back(std::make_unique<UpnpPortMapper>());
    mappers.push_back(std::make_unique<NatPmpPortMapper>());
    return mappers;
}

int PortMappingService::runningWorkers() {
    return gRunningWorkers.load();
}

void PortMappingService::start() {
    KOVA_ASSERT_THREAD(ownerThread_);
    if (worker_ != nullptr) {
        return;
    }
    if (!enabled_) {
        qCInfo(lcPortMap) << "port mapping: switched off";
        return;
    }
    ++gRunningWorkers;
    worker_ = createWorker([shared = shared_, ports = ports_, make = makeMappers_] {
        using Clock = PortMappingCore::Clock;
        auto publish = [&shared](const PortMappingState& state) {
            {
                std::lock_guard lock(shared->mutex);
                shared->state = state;
            }
            if (QCoreApplication* app = QCoreApplication::instance()) {
                invokeQueued(app, [owner = shared->owner] {
                    if (owner) {
                        emit owner->changed();
                    }
                });
            }
        };
        auto stopping = [&shared] {
            std::lock_guard lock(shared->mutex);
            return shared->stopping;
        };
        PortMappingCore core(make(), ports);
        core.startUp(Clock::now(), stopping);
        publish(core.state());
        std::unique_lock lock(shared->mutex);
        for (;;) {
            auto stop = [&shared] { return shared->stopping; };
            if (core.nextRenewal() == Clock::time_point::max()) {
                shared->wake.wait(lock, stop);
            } else {
                shared->wake.wait_until(lock, core.nextRenewal(), stop);
            }
            if (shared->stopping) {
                break;
            }
            lock.unlock();
            if (core.renewIfDue(Clock::now())) {
                publish(core.state());
            }
            lock.lock();
        }
        const Clock::time_point deadline = shared->stopDeadline;
        lock.unlock();
        core.removeAll(deadline, &Clock::now);
        --gRunningWorkers;
    });
    nameThread(*worker_, "kova-portmap");
    worker_->start();
}

void PortMappingService::stop() {
    KOVA_ASSERT_THREAD(ownerThread_);
    if (worker_ == nullptr) {
        return;
    }
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        shared_->stopDeadline = PortMappingCore::Clock::now() + kStopBudget - kStopMargin;
    }
    shared_->wake.notify_all();
    if (worker_->wait(QDeadlineTimer(kStopBudget.count()))) {
        joinWorker(*worker_);
        delete worker_;
    } else {
        qCInfo(lcPortMap) << "port mapping: the router is slow; the leases end what is left";
        // Documented Qt pattern: the thread object goes once the thread has ended.
        connect(worker_, &QThread::finished, worker_, &QObject::deleteLater);
        if (worker_->isFinished()) {
            worker_->deleteLater();
        }
    }
    worker_ = nullptr;
}

PortMappingState PortMappingService::state() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->state;
}

}  // namespace kova
