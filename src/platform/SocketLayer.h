#pragma once
// What the program needs to know of the socket layer before it starts.

#include <cstdint>

namespace kova {

struct SocketLayerInfo {
    bool usable = false;
    // Largest payload one UDP datagram may carry, as the layer reports it.
    std::uint16_t maxUdpDatagram = 0;
};

// Checks that a UDP socket can be opened and reports the IPv4 datagram limit.
SocketLayerInfo startSocketLayer();

// The limit media channels fragment at: a layer reporting 0 has no limit of
// its own, so the 16-bit datagram length field is.
constexpr std::uint16_t effectiveMaxUdpDatagram(std::uint16_t reported) {
    return reported == 0 ? 65535 : reported;
}

}  // namespace kova
