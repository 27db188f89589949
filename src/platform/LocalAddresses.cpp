#include "platform/LocalAddresses.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QStringList>
#include <algorithm>
#include <vector>

#include "platform/UdpSocket.h"

namespace kova {

namespace {

bool isLoopback(std::uint32_t ipv4) {
    return (ipv4 >> 24) == 127;
}

// Older resolvers answer one entry per socket type; a host entry lists each once.
void appendOnce(std::vector<std::uint32_t>& list, std::uint32_t ipv4) {
    if (std::find(list.begin(), list.end(), ipv4) == list.end()) {
        list.push_back(ipv4);
    }
}

std::vector<InterfaceAddress> interfaceAddresses() {
    std::vector<InterfaceAddress> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return out;
    }
    for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        const auto* sa = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
        out.push_back({ntohl(sa->sin_addr.s_addr), (i->ifa_flags & IFF_LOOPBACK) != 0,
                       (i->ifa_flags & IFF_UP) != 0});
    }
    ::freeifaddrs(list);
    return out;
}

}  // namespace

QString formatLocalAddresses(std::span<const std::uint32_t> resolved,
                             std::span<const InterfaceAddress> interfaces) {
    std::vector<std::uint32_t> chosen;
    for (std::uint32_t a : resolved) {
        appendOnce(chosen, a);
    }
    const bool onlyLoopback =
        !chosen.empty() && std::all_of(chosen.begin(), chosen.end(), isLoopback);
    if (onlyLoopback) {
        std::vector<std::uint32_t> fromInterfaces;
        for (const InterfaceAddress& i : interfaces) {
            if (i.up && !i.loopback && !isLoopback(i.ipv4)) {
                appendOnce(fromInterfaces, i.ipv4);
            }
        }
        // A machine without any other interface still has its loopback name.
        if (!fromInterfaces.empty()) {
            chosen = std::move(fromInterfaces);
        }
    }
    QStringList texts;
    for (std::uint32_t a : chosen) {
        texts << UdpSocket::dottedText(a);
    }
    return texts.join(u' ');
}

QString LocalAddresses() {
    // 255 bytes, as the host-name call has always been given.
    char name[256] = {};
    if (::gethostname(name, 255) != 0) {
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &result) != 0) {
        return {};
    }
    std::vector<std::uint32_t> resolved;
    for (addrinfo* i = result; i != nullptr; i = i->ai_next) {
        if (i->ai_family == AF_INET && i->ai_addr != nullptr) {
            resolved.push_back(
                ntohl(reinterpret_cast<const sockaddr_in*>(i->ai_addr)->sin_addr.s_addr));
        }
    }
    ::freeaddrinfo(result);
    return formatLocalAddresses(resolved, interfaceAddresses());
}

}  // namespace kova
