#pragma once
// Port mappings through NAT-PMP on the default gateway (libnatpmp).

#include <memory>

#include "platform/PortMapper.h"

namespace kova {

class NatPmpPortMapper : public IPortMapper {
public:
    // A gateway on the LAN answers within milliseconds; the library's own
    // retries would go on for a minute.
    static constexpr std::chrono::milliseconds kAnswerWait{2000};

    // gateway (host byte order): ask this one instead of the default route's (tests).
    explicit NatPmpPortMapper(std::optional<std::uint32_t> gateway = std::nullopt);
    ~NatPmpPortMapper() override;

    std::optional<RouterFound> discover() override;
    // NAT-PMP cannot tell; a port in use shows as another external port offered.
    std::optional<ExistingMapping> existing(MapProtocol, std::uint16_t) override {
        return std::nullopt;
    }
    MapOutcome add(MapProtocol protocol, std::uint16_t port, const QString& lanAddress,
                   std::uint32_t leaseSeconds) override;
    bool remove(MapProtocol protocol, std::uint16_t port,
                std::chrono::milliseconds budget) override;

private:
    struct Session;
    std::optional<std::uint32_t> gateway_;
    std::unique_ptr<Session> session_;
};

}  // namespace kova
