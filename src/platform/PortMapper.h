#pragma once
// Asking the home router to forward a port to us: one interface over UPnP IGD
// and NAT-PMP, so the mapping service can be tested with a fake router. Every
// call blocks on the network for a bounded time; call them off the UI thread.

#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kova {

enum class MapProtocol { Udp, Tcp };

inline const char* protocolName(MapProtocol p) {
    return p == MapProtocol::Udp ? "UDP" : "TCP";
}

struct RouterFound {
    QString method;           // "UPnP IGD", "NAT-PMP"
    QString lanAddress;       // ours, as we reach the router
    QString externalAddress;  // empty when the router did not say
    // A private or documentation address outside: another NAT may sit above.
    bool reservedExternal = false;
};

// A mapping the router already holds for an external port.
struct ExistingMapping {
    QString internalClient;  // dotted
    std::uint16_t internalPort = 0;
    bool enabled = true;
    std::uint32_t leaseSeconds = 0;  // 0: permanent

    bool operator==(const ExistingMapping&) const = default;
};

struct MapOutcome {
    enum class Kind { Mapped, Refused, InUse, NoAnswer };
    Kind kind = Kind::NoAnswer;
    // Refused: the router's code and text, e.g. "718 ConflictInMappingEntry".
    QString detail;
};

class IPortMapper {
public:
    virtual ~IPortMapper() = default;

    // Looks for the router; nothing when none answered in time.
    virtual std::optional<RouterFound> discover() = 0;
    // What the router holds for the external port; nothing when it holds none
    // or cannot tell (NAT-PMP has no such question).
    virtual std::optional<ExistingMapping> existing(MapProtocol protocol, std::uint16_t port) = 0;
    // Forwards the external port to the same port of lanAddress.
    virtual MapOutcome add(MapProtocol protocol, std::uint16_t port, const QString& lanAddress,
                           std::uint32_t leaseSeconds) = 0;
    // Deletes the mapping, waiting at most about budget where the protocol allows.
    virtual bool remove(MapProtocol protocol, std::uint16_t port,
                        std::chrono::milliseconds budget) = 0;
};

// The router's answers as values. Each string is what the library wrote into
// its buffer, cut at the first NUL; anything malformed is nothing.
std::optional<std::uint32_t> parseIpv4(std::string_view text);  // host byte order
std::optional<ExistingMapping> parseMappingEntry(std::string_view client, std::string_view port,
                                                 std::string_view enabled, std::string_view lease);
// Private, shared, loopback, link-local, documentation and other special
// ranges: an address nobody outside can reach us at.
bool isReservedIpv4(std::uint32_t ipv4);
QString dottedIpv4(std::uint32_t ipv4);

// A fixed-size C buffer as text up to its first NUL.
template <std::size_t N>
std::string_view bufferText(const char (&buffer)[N]) {
    std::size_t n = 0;
    while (n < N && buffer[n] != '\0') {
        ++n;
    }
    return {buffer, n};
}

}  // namespace kova
