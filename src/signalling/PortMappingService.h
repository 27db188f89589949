#pragma once
// Keeps our fixed ports forwarded by the home router while the program runs.
//
// All talking to the router happens on one worker ("kova-portmap"): a router
// may answer slowly or never, and the window must not notice. The worker puts
// each new state in a snapshot under a mutex held only for the copy, then
// posts a queued call that emits changed() on the UI thread; the window reads
// state() whenever it likes. stop() waits for the deletions at most
// kStopBudget: a router that is slower than that is left to end our mappings
// with their lease, and the worker, which shares nothing with the service but
// one reference-counted block, finishes on its own.

#include <QList>
#include <QObject>
#include <QThread>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "common/ThreadCheck.h"
#include "signalling/PortMappingCore.h"

namespace kova {

class PortMappingService : public QObject {
    Q_OBJECT
public:
    using Port = PortMappingCore::Port;
    using MakeMappers = std::function<std::vector<std::unique_ptr<IPortMapper>>()>;
    static constexpr std::chrono::milliseconds kStopBudget{2000};

    // enabled: the user's switch; off, nothing is ever sent. makeMappers runs
    // on the worker; UPnP IGD then NAT-PMP unless given.
    PortMappingService(bool enabled, QList<Port> ports, MakeMappers makeMappers = {},
                       QObject* parent = nullptr);
    ~PortMappingService() override;

    static std::vector<std::unique_ptr<IPortMapper>> routerMappers();

    // Returns at once; the router is asked on the worker.
    void start();
    // Deletes the mappings we made; returns within about kStopBudget.
    void stop();
    PortMappingState state() const;

    // Workers still running, abandoned ones too (tests).
    static int runningWorkers();

signals:
    // On the service's thread, queued after the snapshot changed.
    void changed();

private:
    struct Shared;

    bool enabled_;
    QList<Port> ports_;
    MakeMappers makeMappers_;
    std::shared_ptr<Shared> shared_;
    QThread* worker_ = nullptr;
    ThreadCheck ownerThread_;
};

}  // namespace kova
