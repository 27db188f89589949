#pragma once
// The local host's IPv4 addresses as text, for telling a peer where to call.

#include <QString>
#include <cstdint>
#include <span>

namespace kova {

struct InterfaceAddress {
    std::uint32_t ipv4 = 0;  // host byte order
    bool loopback = false;
    bool up = false;
};

// The resolver's addresses for the host name, dotted, joined by one space. When
// the resolver knows only loopback addresses (many Linux hosts map their name to
// 127.0.1.1), the interfaces' addresses are listed instead, loopback and
// interfaces that are down left out, in interface order. Duplicates are listed
// once.
QString formatLocalAddresses(std::span<const std::uint32_t> resolved,
                             std::span<const InterfaceAddress> interfaces);

// Looks up the host name and the interfaces; empty text when the host name or
// its look-up fails.
QString LocalAddresses();

}  // namespace kova
