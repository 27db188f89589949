#pragma once
// What the router did with our ports, as a plain value the window copies.

#include <QList>
#include <QString>
#include <cstdint>

#include "platform/PortMapper.h"

namespace kova {

struct PortMappingState {
    enum class Status {
        Looking,    // still asking the router
        Forwarded,  // the router forwards it to us
        Off,        // the user switched mappings off
        NoRouter,   // nobody answered
        Refused,    // detail: the router's code and text
        InUse,      // detail: the other host, when the router named it
        NoAnswer,   // the router went quiet after it was found
    };
    struct Port {
        MapProtocol protocol = MapProtocol::Udp;
        std::uint16_t number = 0;
        Status status = Status::Looking;
        QString detail;
        bool operator==(const Port&) const = default;
    };

    QString method;           // empty while none is found
    QString externalAddress;  // the router's own address outside
    bool reservedExternal = false;
    QList<Port> ports;

    bool operator==(const PortMappingState&) const = default;
};

// "forwarded by the router", "not forwarded: in use by 198.51.100.200", ...
QString describePort(const PortMappingState::Port& port);

}  // namespace kova
