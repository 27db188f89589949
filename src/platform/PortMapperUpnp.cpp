#include "platform/PortMapperUpnp.h"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>

#include <arpa/inet.h>

#include <QFile>
#include <algorithm>

namespace kova {

// The search is bounded by kSearchMs, every later call by the watchdog.
// Callers never wait on this from the UI thread.
struct UpnpPortMapper::Device {
    UPNPUrls urls{};
    IGDdatas data{};
    bool valid = false;
    ~Device() {
        if (valid) {
            FreeUPNPUrls(&urls);
        }
    }
};

namespace {

QString upnpError(int code) {
    const char* text = strupnperror(code);
    return text != nullptr ? QStringLiteral("%1 %2").arg(code).arg(QString::fromUtf8(text))
                           : QString::number(code);
}

// The gateways of the default routes, host byte order.
std::vector<std::uint32_t> defaultGateways() {
    std::vector<std::uint32_t> gateways;
    QFile routes(QStringLiteral("/proc/net/route"));
    if (!routes.open(QIODevice::ReadOnly)) {
        return gateways;
    }
    routes.readLine();  // the heading
    // A handful of lines on any host; the cap only guards the loop.
    for (int i = 0; i < 256 && !routes.atEnd(); ++i) {
        const QList<QByteArray> f = routes.readLine().simplified().split(' ');
        bool ok = false;
        // The kernel prints addresses as the hex of their network-order bytes.
        const std::uint32_t gateway = f.size() > 7 ? f[2].toUInt(&ok, 16) : 0;
        if (ok && f[1] == "00000000" && f[7] == "00000000" && gateway != 0) {
            gateways.push_back(ntohl(gateway));
        }
    }
    return gateways;
}

// Search with every type at once and wait once: upnpDiscover() waits the
// whole delay again for each type while nobody answers. Anyone on the LAN may
// answer, and each device kept is asked for its description: only the
// default gateway's few are kept, so a stranger cannot make us fetch from it.
UPNPDev* search() {
    static const char* const kTypes[] = {"urn:schemas-upnp-org:device:InternetGatewayDevice:1",
                                         "urn:schemas-upnp-org:service:WANIPConnection:1",
                                         "urn:schemas-upnp-org:service:WANPPPConnection:1",
                                         "upnp:rootdevice", nullptr};
    int error = 0;
    UPNPDev* found = upnpDiscoverDevices(kTypes, UpnpPortMapper::kSearchMs, nullptr, nullptr,
                                         UPNP_LOCAL_PORT_ANY, 0, 2, &error, 1);
    const std::vector<std::uint32_t> gateways = defaultGateways();
    UPNPDev* kept = nullptr;
    UPNPDev** tail = &kept;
    int count = 0;
    while (found != nullptr) {
        UPNPDev* dev = found;
        found = dev->pNext;
        dev->pNext = nullptr;
        const std::optional<RouterPeer> peer = routerPeerOf(dev->descURL);
        if (peer && count < UpnpPortMapper::kMaxDevices &&
            std::find(gateways.begin(), gateways.end(), peer->ipv4) != gateways.end()) {
            *tail = dev;
            tail = &dev->pNext;
            ++count;
        } else {
            freeUPNPDevlist(dev);
        }
    }
    return kept;
}

}  // namespace

UpnpPortMapper::UpnpPortMapper(QString descriptionUrl)
    : descriptionUrl_(std::move(descriptionUrl)) {}

UpnpPortMapper::~UpnpPortMapper() = default;

template <typename Call>
auto UpnpPortMapper::bounded(std::vector<RouterPeer> peers, std::chrono::milliseconds budget,
                             Call call) {
    watchdog_.arm(PortMapperWatchdog::Clock::now() + budget, std::move(peers));
    const auto result = call();
    watchdog_.disarm();
    return result;
}

std::vector<RouterPeer> UpnpPortMapper::controlPeer() const {
    std::vector<RouterPeer> peers;
    if (device_ && device_->urls.controlURL != nullptr) {
        if (const std::optional<RouterPeer> p = routerPeerOf(device_->urls.controlURL)) {
            peers.push_back(*p);
        }
    }
    return peers;
}

std::optional<RouterFound> UpnpPortMapper::discover() {
    auto device = std::make_unique<Device>();
    char lan[64] = {};
    int found = 0;
    std::vector<RouterPeer> described;
    if (!descriptionUrl_.isEmpty()) {
        const QByteArray url = descriptionUrl_.toUtf8();
        if (const std::optional<RouterPeer> p = routerPeerOf(url.constData())) {
            described.push_back(*p);
        }
        found = bounded(described, kCallBudget, [&] {
            return UPNP_GetIGDFromUrl(url.constData(), &device->urls, &device->data, lan,
                                      sizeof lan);
        });
    } else if (UPNPDev* list = search()) {
        for (const UPNPDev* dev = list; dev != nullptr; dev = dev->pNext) {
            if (const std::optional<RouterPeer> p = routerPeerOf(dev->descURL)) {
                described.push_back(*p);
            }
        }
        found = bounded(described, kCallBudget, [&] {
            return UPNP_GetValidIGD(list, &device->urls, &device->data, lan, sizeof lan);
        });
        freeUPNPDevlist(list);
    }
    device->valid = found != 0;
    if (found == 0 || device->urls.controlURL == nullptr ||
        device->data.first.servicetype[0] == 0) {
        return std::nullopt;
    }
    device_ = std::move(device);
    // 1 is a connected IGD. miniupnpc also calls one "not connected" when its
    // external address is reserved; such a router still forwards from the
    // network above it, so take it when it says it is connected.
    if (found != 1 && !bounded(controlPeer(), kCallBudget, [this] {
            return UPNPIGD_IsConnected(&device_->urls, &device_->data);
        })) {
        device_.reset();
        return std::nullopt;
    }
    RouterFound router;
    router.method = QStringLiteral("UPnP IGD");
    const std::optional<std::uint32_t> own = parseIpv4(bufferText(lan));
    if (!own) {
        device_.reset();
        return std::nullopt;
    }
    router.lanAddress = dottedIpv4(*own);
    char external[64] = {};
    if (bounded(controlPeer(), kCallBudget, [&] {
            return UPNP_GetExternalIPAddress(device_->urls.controlURL,
                                             device_->data.first.servicetype, external);
        }) == UPNPCOMMAND_SUCCESS) {
        if (const std::optional<std::uint32_t> ip = parseIpv4(bufferText(external))) {
            router.externalAddress = dottedIpv4(*ip);
            router.reservedExternal = isReservedIpv4(*ip);
        }
    }
    return router;
}

std::optional<ExistingMapping> UpnpPortMapper::existing(MapProtocol protocol, std::uint16_t port) {
    if (!device_) {
        return std::nullopt;
    }
    // Larger than the library's 16/6/80/4/16 bytes and zeroed: its copies
    // always end inside them.
    char client[64] = {}, internalPort[64] = {}, desc[128] = {}, enabled[64] = {}, lease[64] = {};
    const QByteArray number = QByteArray::number(port);
    const int r = bounded(controlPeer(), kCallBudget, [&] {
        return UPNP_GetSpecificPortMappingEntry(
            device_->urls.controlURL, device_->data.first.servicetype, number.constData(),
            protocolName(protocol), nullptr, client, internalPort, desc, enabled, lease);
    });
    if (r != UPNPCOMMAND_SUCCESS) {
        return std::nullopt;
    }
    return parseMappingEntry(bufferText(client), bufferText(internalPort), bufferText(enabled),
                             bufferText(lease));
}

MapOutcome UpnpPortMapper::add(MapProtocol protocol, std::uint16_t port, const QString& lanAddress,
                               std::uint32_t leaseSeconds) {
    if (!device_) {
        return {MapOutcome::Kind::NoAnswer, {}};
    }
    const QByteArray number = QByteArray::number(port);
    const QByteArray client = lanAddress.toLatin1();
    auto ask = [&](std::uint32_t lease) {
        return bounded(controlPeer(), kCallBudget, [&] {
            return UPNP_AddPortMapping(device_->urls.controlURL, device_->data.first.servicetype,
                                       number.constData(), number.constData(), client.constData(),
                                       kDescription, protocolName(protocol), nullptr,
                                       QByteArray::number(lease).constData());
        });
    };
    int r = ask(leaseSeconds);
    // 725 OnlyPermanentLeasesSupported: older routers take lease 0 only; the
    // mapping is deleted at quit all the same.
    if (r == 725) {
        r = ask(0);
    }
    if (r < 0) {  // the library's own: no answer, or none it could read
        return {MapOutcome::Kind::NoAnswer, {}};
    }
    if (r != UPNPCOMMAND_SUCCESS) {
        return {MapOutcome::Kind::Refused, upnpError(r)};
    }
    return {MapOutcome::Kind::Mapped, {}};
}

bool UpnpPortMapper::remove(MapProtocol protocol, std::uint16_t port,
                            std::chrono::milliseconds budget) {
    if (!device_) {
        return false;
    }
    const QByteArray number = QByteArray::number(port);
    return bounded(controlPeer(), std::min(budget, kCallBudget), [&] {
               return UPNP_DeletePortMapping(device_->urls.controlURL,
                                             device_->data.first.servicetype, number.constData(),
                                             protocolName(protocol), nullptr);
           }) == UPNPCOMMAND_SUCCESS;
}

}  // namespace kova
