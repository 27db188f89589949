#include "platform/UdpSocket.h"

#include "common/DottedAddress.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#include "platform/PosixSocket.h"
#include "platform/SocketErrors.h"

namespace kova {

using posix::fail;
using posix::failErrno;
using posix::toSockaddr;

UdpSocket::UdpSocket(QObject* parent) : QObject(parent) {}

UdpSocket::~UdpSocket() {
    close();
}

int UdpSocket::open(std::uint16_t port, const QString& bindAddress) {
    close();
    std::uint32_t local = INADDR_ANY;
    if (!bindAddress.isEmpty()) {
        const auto addr = parseDotted(bindAddress);
        if (!addr) {
            return fail(kWsaInvalidHost);
        }
        local = *addr;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        return failErrno();
    }
    const sockaddr_in sa = toSockaddr(local, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        const int error = toSocketError(errno);
        ::close(fd);
        return fail(error);
    }
    fd_.store(fd);
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UdpSocket::onActivated);
    return 0;
}

void UdpSocket::close() {
    delete notifier_;
    notifier_ = nullptr;
    const int fd = fd_.exchange(-1);
    if (fd >= 0) {
        ::close(fd);
    }
}

std::uint16_t UdpSocket::localPort() const {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    const int fd = fd_.load();
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        return 0;
    }
    return ntohs(sa.sin_port);
}

int UdpSocket::sendTo(ByteSpan datagram, const QString& host, std::uint16_t port) {
    if (host.isEmpty()) {
        return fail(kWsaDestAddrRequired);
    }
    const auto addr = parseDotted(host);
    if (!addr) {
        return fail(kWsaInvalidHost);
    }
    return sendTo(datagram, *addr, port);
}

int UdpSocket::sendTo(ByteSpan datagram, std::uint32_t ipv4, std::uint16_t port) {
    const int fd = fd_.load();
    if (fd < 0) {
        return fail(kWsaNotSocket);
    }
    if (datagram.size() > kMaxDatagram) {
        return fail(kWsaMsgSize);
    }
    const sockaddr_in sa = toSockaddr(ipv4, port);
    ssize_t sent;
    do {
        sent = ::sendto(fd, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        return failErrno();
    }
    return 0;
}

int UdpSocket::setBufferSizes(int receiveBytes, int sendBytes) {
    const int fd = fd_.load();
    if (fd < 0) {
        return fail(kWsaNotSocket);
    }
    // The FORCE options pass the system limit (privileged processes only);
    // otherwise the plain ones give as much as the limit allows.
    const auto set = [fd](int force, int plain, int bytes) {
        if (bytes <= 0 || ::setsockopt(fd, SOL_SOCKET, force, &bytes, sizeof bytes) == 0 ||
            ::setsockopt(fd, SOL_SOCKET, plain, &bytes, sizeof bytes) == 0) {
            return 0;
        }
        return toSocketError(errno);
    };
    if (const int e = set(SO_RCVBUFFORCE, SO_RCVBUF, receiveBytes); e != 0) {
        return fail(e);
    }
    if (const int e = set(SO_SNDBUFFORCE, SO_SNDBUF, sendBytes); e != 0) {
        return fail(e);
    }
    return 0;
}

bool UdpSocket::waitWritable(int timeoutMs) {
    const int fd = fd_.load();
    if (fd < 0) {
        return false;
    }
    pollfd p{fd, POLLOUT, 0};
    int n;
    do {
        n = ::poll(&p, 1, timeoutMs);
    } while (n < 0 && errno == EINTR);
    return n > 0 && (p.revents & POLLOUT) != 0;
}

UdpSocket::Received UdpSocket::receiveFrom(MutableByteSpan buffer) {
    Received r;
    const int fd = fd_.load();
    if (fd < 0) {
        r.error = fail(kWsaNotSocket);
        return r;
    }
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t n;
    // MSG_TRUNC reports the datagram's real length, so an oversized one is
    // recognised instead of silently cut.
    do {
        n = ::recvfrom(fd, buffer.data(), buffer.size(), MSG_TRUNC,
                       reinterpret_cast<sockaddr*>(&sa), &len);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        r.error = failErrno();
        return r;
    }
    r.sourceIpv4 = ntohl(sa.sin_addr.s_addr);
    r.sourcePort = ntohs(sa.sin_port);
    if (static_cast<std::size_t>(n) > buffer.size()) {
        r.size = buffer.size();
        r.error = fail(kWsaMsgSize);
        return r;
    }
    r.size = static_cast<std::size_t>(n);
    return r;
}

void UdpSocket::setReadNotifications(bool enabled) {
    if (notifier_ != nullptr) {
        notifier_->setEnabled(enabled);
    }
}

void UdpSocket::onActivated() {
    int pending = 0;
    socklen_t len = sizeof pending;
    const int fd = fd_.load();
    if (fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &len) != 0) {
        pending = 0;
    }
    emit readNotification(toSocketError(pending));
}

QString UdpSocket::dottedText(std::uint32_t ipv4) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(ipv4 >> 24)
        .arg((ipv4 >> 16) & 0xFF)
        .arg((ipv4 >> 8) & 0xFF)
        .arg(ipv4 & 0xFF);
}

std::optional<std::uint32_t> UdpSocket::parseDotted(const QString& text) {
    return parseDottedIpv4(text);
}

std::optional<std::uint32_t> UdpSocket::resolve(const QString& host, int* error) {
    if (auto dotted = parseDotted(host)) {
        return dotted;
    }
    if (host.isEmpty() || host.contains(QChar(u'\0'))) {
        if (error != nullptr) {
            *error = kWsaInvalidHost;
        }
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* result = nullptr;
    const QByteArray name = host.toUtf8();
    const int rc = ::getaddrinfo(name.constData(), nullptr, &hints, &result);
    if (rc != 0 || result == nullptr) {
        const int e = rc == EAI_SYSTEM ? toSocketError(errno)
                                       : toSocketError(rc, SocketErrorSource::Resolver);
        if (error != nullptr) {
            *error = e == 0 ? kWsaInvalidHost : e;
        }
        if (result != nullptr) {
            ::freeaddrinfo(result);
        }
        return std::nullopt;
    }
    const auto* sa = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
    const std::uint32_t ipv4 = ntohl(sa->sin_addr.s_addr);
    ::freeaddrinfo(result);
    return ipv4;
}

}  // namespace kova
