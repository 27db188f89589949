#include "signalling/PortMappingState.h"

namespace kova {

QString describePort(const PortMappingState::Port& port) {
    using Status = PortMappingState::Status;
    const QString notForwarded = QStringLiteral("not forwarded: %1");
    switch (port.status) {
        case Status::Looking:
            return QStringLiteral("asking the router");
        case Status::Forwarded:
            return QStringLiteral("forwarded by the router");
        case Status::Off:
            return notForwarded.arg(QStringLiteral("switched off"));
        case Status::NoRouter:
            return notForwarded.arg(QStringLiteral("no router answered"));
        case Status::Refused:
            return notForwarded.arg(QStringLiteral("refused by the router: %1").arg(port.detail));
        case Status::InUse:
            return notForwarded.arg(port.detail.isEmpty()
                                        ? QStringLiteral("in use by another host")
                                        : QStringLiteral("in use by %1").arg(port.detail));
        case Status::NoAnswer:
            return notForwarded.arg(QStringLiteral("the router did not answer"));
    }
    return {};
}

}  // namespace kova
