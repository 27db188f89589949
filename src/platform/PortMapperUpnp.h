#pragma once
// Port mappings through the router's UPnP Internet Gateway Device (libminiupnpc).

#include <memory>

#include "platform/PortMapper.h"

namespace kova {

class UpnpPortMapper : public IPortMapper {
public:
    static constexpr const char* kDescription = "KOVA";
    // The answers to one search all come within this; a router answers in well
    // under a second.
    static constexpr int kSearchMs = 2000;
    // More devices than a home network has; the rest are not asked.
    static constexpr int kMaxDevices = 8;

    // descriptionUrl: use the device described there instead of searching (tests).
    explicit UpnpPortMapper(QString descriptionUrl = {});
    ~UpnpPortMapper() override;

    std::optional<RouterFound> discover() override;
    std::optional<ExistingMapping> existing(MapProtocol protocol, std::uint16_t port) override;
    MapOutcome add(MapProtocol protocol, std::uint16_t port, const QString& lanAddress,
                   std::uint32_t leaseSeconds) override;
    bool remove(MapProtocol protocol, std::uint16_t port,
                std::chrono::milliseconds budget) override;

private:
    struct Device;
    QString descriptionUrl_;
    std::unique_ptr<Device> device_;
};

}  // namespace kova
