#include "platform/PortMapperNatPmp.h"

#include <arpa/inet.h>
// The error texts are declared only on request.
#define ENABLE_STRNATPMPERR
#include <natpmp.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kova {

struct NatPmpPortMapper::Session {
    natpmp_t pmp{};
    ~Session() { closenatpmp(&pmp); }

    // One answer to the pending request, or the library's error; never longer
    // than budget, whatever the retry schedule says.
    int await(natpmpresp_t& response, std::chrono::milliseconds budget) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + budget;
        for (;;) {
            timeval wait{};
            getnatpmprequesttimeout(&pmp, &wait);
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return NATPMP_TRYAGAIN;
            }
            const auto asked =
                std::chrono::seconds(wait.tv_sec) + std::chrono::microseconds(wait.tv_usec);
            if (asked > left || asked.count() < 0) {
                wait.tv_sec = static_cast<time_t>(left.count() / 1000000);
                wait.tv_usec = static_cast<suseconds_t>(left.count() % 1000000);
            }
            fd_set fds;
            FD_ZERO(&fds);
            FD_SET(pmp.s, &fds);
            select(pmp.s + 1, &fds, nullptr, nullptr, &wait);
            const int r = readnatpmpresponseorretry(&pmp, &response);
            if (r != NATPMP_TRYAGAIN) {
                return r;
            }
        }
    }
};

namespace {

// Our address on the route to the gateway: a connected UDP socket's own
// address, without sending anything.
QString addressTowards(in_addr_t gateway) {
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return {};
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(NATPMP_PORT);
    to.sin_addr.s_addr = gateway;
    sockaddr_in own{};
    socklen_t length = sizeof own;
    QString result;
    if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&own), &length) == 0) {
        result = dottedIpv4(ntohl(own.sin_addr.s_addr));
    }
    ::close(s);
    return result;
}

// Also the type of the mapping's answer.
static_assert(NATPMP_PROTOCOL_UDP == NATPMP_RESPTYPE_UDPPORTMAPPING &&
              NATPMP_PROTOCOL_TCP == NATPMP_RESPTYPE_TCPPORTMAPPING);
int natPmpProtocol(MapProtocol p) {
    return p == MapProtocol::Udp ? NATPMP_PROTOCOL_UDP : NATPMP_PROTOCOL_TCP;
}

}  // namespace

NatPmpPortMapper::NatPmpPortMapper(std::optional<std::uint32_t> gateway) : gateway_(gateway) {}
NatPmpPortMapper::~NatPmpPortMapper() = default;

std::optional<RouterFound> NatPmpPortMapper::discover() {
    auto session = std::make_unique<Session>();
    if (initnatpmp(&session->pmp, gateway_ ? 1 : 0, htonl(gateway_.value_or(0))) != 0) {
        session->pmp.s = -1;
        return std::nullopt;
    }
    natpmpresp_t response{};
    if (sendpublicaddressrequest(&session->pmp) < 0 || session->await(response, kAnswerWait) != 0 ||
        response.type != NATPMP_RESPTYPE_PUBLICADDRESS) {
        return std::nullopt;
    }
    RouterFound router;
    router.method = QStringLiteral("NAT-PMP");
    router.lanAddress = addressTowards(session->pmp.gateway);
    const std::uint32_t external = ntohl(response.pnu.publicaddress.addr.s_addr);
    router.externalAddress = dottedIpv4(external);
    router.reservedExternal = isReservedIpv4(external);
    if (router.lanAddress.isEmpty()) {
        return std::nullopt;
    }
    session_ = std::move(session);
    return router;
}

MapOutcome NatPmpPortMapper::add(MapProtocol protocol, std::uint16_t port, const QString&,
                                 std::uint32_t leaseSeconds) {
    if (!session_) {
        return {MapOutcome::Kind::NoAnswer, {}};
    }
    natpmpresp_t response{};
    if (sendnewportmappingrequest(&session_->pmp, natPmpProtocol(protocol), port, port,
                                  leaseSeconds) < 0) {
        return {MapOutcome::Kind::NoAnswer, {}};
    }
    const int r = session_->await(response, kAnswerWait);
    if (r == NATPMP_TRYAGAIN || r == NATPMP_ERR_NOGATEWAYSUPPORT) {
        return {MapOutcome::Kind::NoAnswer, {}};
    }
    if (r != 0) {
        return {MapOutcome::Kind::Refused, QString::fromLatin1(strnatpmperr(r))};
    }
    // A late answer to an earlier request is no answer to this one.
    if (response.type != natPmpProtocol(protocol) ||
        response.pnu.newportmapping.privateport != port) {
        return {MapOutcome::Kind::NoAnswer, {}};
    }
    const std::uint16_t given = response.pnu.newportmapping.mappedpublicport;
    if (given != port) {
        // Someone else holds the port; another one is no use to a peer that
        // calls the fixed port.
        remove(protocol, port, kAnswerWait / 4);
        return {MapOutcome::Kind::InUse, {}};
    }
    return {MapOutcome::Kind::Mapped, {}};
}

bool NatPmpPortMapper::remove(MapProtocol protocol, std::uint16_t port,
                              std::chrono::milliseconds budget) {
    if (!session_) {
        return false;
    }
    natpmpresp_t response{};
    // Lifetime 0 deletes; the external port must be 0 then.
    return sendnewportmappingrequest(&session_->pmp, natPmpProtocol(protocol), port, 0, 0) >= 0 &&
           session_->await(response, budget) == 0;
}

}  // namespace kova
