#include "signalling/PortMappingCore.h"

#include <algorithm>

namespace kova {

Q_LOGGING_CATEGORY(lcPortMap, "kova.portmap", QtWarningMsg)

PortMappingCore::PortMappingCore(std::vector<std::unique_ptr<IPortMapper>> mappers,
                                 const QList<Port>& ports)
    : mappers_(std::move(mappers)),
      state_(initialState(ports, PortMappingState::Status::Looking)),
      made_(static_cast<std::size_t>(ports.size()), false) {}

PortMappingState PortMappingCore::initialState(const QList<Port>& ports,
                                               PortMappingState::Status status) {
    PortMappingState state;
    for (const Port& p : ports) {
        state.ports.append({p.protocol, p.number, status, {}});
    }
    return state;
}

void PortMappingCore::startUp(Clock::time_point now, const std::function<bool()>& cancelled) {
    std::optional<RouterFound> found;
    for (const std::unique_ptr<IPortMapper>& mapper : mappers_) {
        if (cancelled()) {
            return;
        }
        found = mapper->discover();
        if (found) {
            router_ = mapper.get();
            break;
        }
    }
    if (!found) {
        for (PortMappingState::Port& port : state_.ports) {
            port.status = PortMappingState::Status::NoRouter;
        }
        qCInfo(lcPortMap) << "port mapping: no router answered";
        return;
    }
    lanAddress_ = found->lanAddress;
    state_.method = found->method;
    state_.externalAddress = found->externalAddress;
    state_.reservedExternal = found->reservedExternal;
    const QString note =
        found->reservedExternal ? QStringLiteral(" (reserved: another NAT above?)") : QString();
    qCInfo(lcPortMap).noquote()
        << QStringLiteral("port mapping: router found (%1), external address %2%3, our address %4")
               .arg(found->method, found->externalAddress, note, lanAddress_);
    for (int i = 0; i < state_.ports.size(); ++i) {
        if (cancelled()) {
            return;
        }
        mapPort(i, false);
    }
    if (std::find(made_.begin(), made_.end(), true) != made_.end()) {
        nextRenewal_ = now + std::chrono::seconds(kLeaseSeconds / 2);
    }
}

bool PortMappingCore::renewIfDue(Clock::time_point now) {
    if (now < nextRenewal_) {
        return false;
    }
    for (int i = 0; i < state_.ports.size(); ++i) {
        if (made_[static_cast<std::size_t>(i)]) {
            mapPort(i, true);
        }
    }
    nextRenewal_ = now + std::chrono::seconds(kLeaseSeconds / 2);
    return true;
}

void PortMappingCore::mapPort(int index, bool renewing) {
    using Status = PortMappingState::Status;
    PortMappingState::Port& port = state_.ports[index];
    if (!renewing) {
        // Another host's mapping is that host's business; ours from an earlier
        // run is simply renewed.
        const std::optional<ExistingMapping> held = router_->existing(port.protocol, port.number);
        if (held && held->internalClient != lanAddress_) {
            port.status = Status::InUse;
            port.detail = held->internalClient;
            logPort(port);
            return;
        }
    }
    const MapOutcome outcome = router_->add(port.protocol, port.number, lanAddress_, kLeaseSeconds);
    port.detail = outcome.detail;
    switch (outcome.kind) {
        case MapOutcome::Kind::Mapped:
            port.status = Status::Forwarded;
            made_[static_cast<std::size_t>(index)] = true;
            break;
        case MapOutcome::Kind::Refused:
            port.status = Status::Refused;
            break;
        case MapOutcome::Kind::InUse:
            port.status = Status::InUse;
            break;
        case MapOutcome::Kind::NoAnswer:
            port.status = Status::NoAnswer;
            break;
    }
    logPort(port);
}

void PortMappingCore::logPort(const PortMappingState::Port& port) const {
    qCInfo(lcPortMap).noquote() << QStringLiteral("port mapping: %1 %2 %3 (%4, %5)")
                                       .arg(QLatin1String(protocolName(port.protocol)))
                                       .arg(port.number)
                                       .arg(describePort(port), state_.method,
                                            state_.externalAddress);
}

void PortMappingCore::removeAll(Clock::time_point deadline,
                                const std::function<Clock::time_point()>& now) {
    nextRenewal_ = Clock::time_point::max();
    int left = static_cast<int>(std::count(made_.begin(), made_.end(), true));
    for (int i = 0; i < state_.ports.size(); ++i) {
        if (!made_[static_cast<std::size_t>(i)]) {
            continue;
        }
        made_[static_cast<std::size_t>(i)] = false;
        const PortMappingState::Port& port = state_.ports[i];
        const QString name = QStringLiteral("%1 %2")
                                 .arg(QLatin1String(protocolName(port.protocol)))
                                 .arg(port.number);
        const Clock::time_point at = now();
        if (at >= deadline) {
            qCInfo(lcPortMap).noquote()
                << "port mapping:" << name << "not deleted, no time left; the lease ends it";
            --left;
            continue;
        }
        const auto budget = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - at) /
                            std::max(left, 1);
        --left;
        const bool removed = router_->remove(port.protocol, port.number, budget);
        qCInfo(lcPortMap).noquote()
            << "port mapping:" << name << (removed ? "deleted" : "not deleted; the lease ends it");
    }
}

}  // namespace kova
