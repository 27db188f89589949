#include "platform/SocketLayer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <netinet/in.h>

namespace kova {

namespace {
// 65535 minus the 20-byte IPv4 header and the 8-byte UDP header.
constexpr std::uint16_t kIpv4MaxUdpPayload = 65507;
}  // namespace

SocketLayerInfo startSocketLayer() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        return {false, 0};
    }
    ::close(fd);
    return {true, kIpv4MaxUdpPayload};
}

}  // namespace kova
