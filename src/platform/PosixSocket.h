#pragma once
// What the socket adapters share: IPv4 addresses in the form the calls take,
// and failing with a Windows Sockets number that is also left as the thread's
// last socket error.

#include <netinet/in.h>

#include <cerrno>
#include <cstdint>

#include "platform/SocketErrors.h"

namespace kova::posix {

inline int fail(int error) {
    setLastSocketError(error);
    return error;
}

inline int failErrno() {
    return fail(toSocketError(errno));
}

// ipv4 in host byte order.
inline sockaddr_in toSockaddr(std::uint32_t ipv4, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(ipv4);
    return sa;
}

}  // namespace kova::posix
