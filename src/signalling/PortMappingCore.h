#pragma once
// The steps of keeping our ports forwarded, without a thread of its own: find
// the router (the first mapper that answers), map each port unless another
// host holds it, renew at half the lease, delete what we made. The service
// runs it on its worker; tests run it with a fake router and a made-up clock.

#include <QList>
#include <QLoggingCategory>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "platform/PortMapper.h"
#include "signalling/PortMappingState.h"

namespace kova {

Q_DECLARE_LOGGING_CATEGORY(lcPortMap)

class PortMappingCore {
public:
    using Clock = std::chrono::steady_clock;
    // An hour, renewed at half: a crashed program's mappings do not stay long.
    static constexpr std::uint32_t kLeaseSeconds = 3600;

    struct Port {
        MapProtocol protocol;
        std::uint16_t number;
    };

    PortMappingCore(std::vector<std::unique_ptr<IPortMapper>> mappers, const QList<Port>& ports);

    // Every port in one status: before anything is asked, or switched off.
    static PortMappingState initialState(const QList<Port>& ports, PortMappingState::Status status);

    // cancelled() is asked between the steps: the program is closing.
    void startUp(Clock::time_point now, const std::function<bool()>& cancelled);
    // Asks again for the ports we hold once half the lease has gone; returns
    // whether it asked.
    bool renewIfDue(Clock::time_point now);
    // max() when there is nothing to renew.
    Clock::time_point nextRenewal() const { return nextRenewal_; }
    // Deletes what we made, first made first, while now() is before the deadline.
    void removeAll(Clock::time_point deadline, const std::function<Clock::time_point()>& now);

    const PortMappingState& state() const { return state_; }

private:
    void mapPort(int index, bool renewing);
    void logPort(const PortMappingState::Port& port) const;

    std::vector<std::unique_ptr<IPortMapper>> mappers_;
    IPortMapper* router_ = nullptr;
    QString lanAddress_;
    PortMappingState state_;
    std::vector<bool> made_;
    Clock::time_point nextRenewal_ = Clock::time_point::max();
};

}  // namespace kova
