#include "platform/TcpListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "platform/SocketErrors.h"
#include "platform/TcpSocket.h"
#include "platform/UdpSocket.h"

namespace kova {

TcpListener::TcpListener(QObject* parent) : QObject(parent) {}

TcpListener::~TcpListener() {
    close();
}

int TcpListener::open(std::uint16_t port, const QString& bindAddress, int backlog) {
    close();
    std::uint32_t local = INADDR_ANY;
    if (!bindAddress.isEmpty()) {
        int error = 0;
        const auto addr = UdpSocket::resolve(bindAddress, &error);
        if (!addr) {
            setLastSocketError(error);
            return error;
        }
        local = *addr;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        const int error = toSocketError(errno);
        setLastSocketError(error);
        return error;
    }
    // A restart must not wait for the previous run's connections in TIME_WAIT.
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(local);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(fd, backlog) != 0) {
        const int error = toSocketError(errno);
        ::close(fd);
        setLastSocketError(error);
        return error;
    }
    fd_ = fd;
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TcpListener::acceptNotification);
    return 0;
}

void TcpListener::close() {
    delete notifier_;
    notifier_ = nullptr;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::uint16_t TcpListener::localPort() const {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        return 0;
    }
    return ntohs(sa.sin_port);
}

TcpListener::Accepted TcpListener::accept() {
    Accepted a;
    if (fd_ < 0) {
        a.error = kWsaNotSocket;
        return a;
    }
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    int fd;
    do {
        fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        a.error = toSocketError(errno);
        setLastSocketError(a.error);
        return a;
    }
    TcpSocket::tune(fd);
    a.fd = fd;
    a.peerIpv4 = ntohl(sa.sin_addr.s_addr);
    a.peerPort = ntohs(sa.sin_port);
    return a;
}

}  // namespace kova
