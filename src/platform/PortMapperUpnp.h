#pragma once
// Port mappings through the router's UPnP Internet Gateway Device (libminiupnpc).

#include <memory>
#include <vector>

#include "platform/PortMapper.h"
#include "platform/PortMapperWatchdog.h"

namespace kova {

class UpnpPortMapper : public IPortMapper {
public:
    static constexpr const char* kDescription = "KOVA";
    // The answers to one search all come within this; a router answers in well
    // under a second.
    static constexpr int kSearchMs = 2000;
    // More devices than a home router has; the rest are not asked.
    static constexpr int kMaxDevices = 8;
    // Any one call to the router, whatever the library would wait.
    static constexpr std::chrono::milliseconds kCallBudget{4000};

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
    // Runs one library call with the watchdog armed over its connections.
    template <typename Call>
    auto bounded(std::vector<RouterPeer> peers, std::chrono::milliseconds budget, Call call);
    std::vector<RouterPeer> controlPeer() const;

    QString descriptionUrl_;
    std::unique_ptr<Device> device_;
    PortMapperWatchdog watchdog_;
};

}  // namespace kova
