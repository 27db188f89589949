#include "platform/TcpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "platform/PosixSocket.h"
#include "platform/SocketErrors.h"
#include "platform/UdpSocket.h"

namespace kova {

using posix::fail;
using posix::toSockaddr;

TcpSocket::TcpSocket(QObject* parent) : QObject(parent) {}

TcpSocket::~TcpSocket() {
    close();
}

void TcpSocket::tune(int fd) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void TcpSocket::closeDescriptor(int fd) {
    if (fd >= 0) {
        ::close(fd);
    }
}

int TcpSocket::connectTo(const QString& host, std::uint16_t port, const QString& bindAddress) {
    close();
    int error = 0;
    const auto remote = UdpSocket::resolve(host, &error);
    if (!remote) {
        return fail(error);
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        return fail(toSocketError(errno));
    }
    tune(fd);
    if (!bindAddress.isEmpty()) {
        const auto local = UdpSocket::resolve(bindAddress, &error);
        const sockaddr_in la = toSockaddr(local.value_or(0), 0);
        if (!local || ::bind(fd, reinterpret_cast<const sockaddr*>(&la), sizeof la) != 0) {
            error = local ? toSocketError(errno) : error;
            ::close(fd);
            return fail(error);
        }
    }
    const sockaddr_in sa = toSockaddr(*remote, port);
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 && errno != EINPROGRESS) {
        error = toSocketError(errno);
        ::close(fd);
        return fail(error);
    }
    fd_.store(fd);
    // Completion (or failure) shows as writability, also for an immediate
    // success, so callers always hear of it the same way, later.
    writeNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &TcpSocket::onWritable);
    return 0;
}

void TcpSocket::onWritable() {
    writeNotifier_->setEnabled(false);
    writeNotifier_->deleteLater();
    writeNotifier_ = nullptr;
    emit connected(pendingError());
}

void TcpSocket::attach(int fd) {
    close();
    fd_.store(fd);
    readNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &TcpSocket::onReadable);
}

int TcpSocket::takeDescriptor() {
    delete readNotifier_;
    readNotifier_ = nullptr;
    delete writeNotifier_;
    writeNotifier_ = nullptr;
    delete sendNotifier_;
    sendNotifier_ = nullptr;
    return fd_.exchange(-1);
}

void TcpSocket::close() {
    closeDescriptor(takeDescriptor());
}

StreamIo TcpSocket::send(ByteSpan bytes) {
    return io([&](int fd) { return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); });
}

StreamIo TcpSocket::receive(MutableByteSpan buffer) {
    return io([&](int fd) { return ::recv(fd, buffer.data(), buffer.size(), 0); });
}

template <typename Call>
StreamIo TcpSocket::io(Call call) {
    StreamIo r;
    const int fd = fd_.load();
    if (fd < 0) {
        r.error = fail(kWsaNotSocket);
        return r;
    }
    ssize_t n;
    do {
        n = call(fd);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        r.error = fail(toSocketError(errno));
        return r;
    }
    r.size = static_cast<std::size_t>(n);
    return r;
}

void TcpSocket::setReadNotifications(bool enabled) {
    if (readNotifier_ != nullptr) {
        readNotifier_->setEnabled(enabled);
    }
}

void TcpSocket::setWriteNotifications(bool enabled) {
    const int fd = fd_.load();
    if (sendNotifier_ == nullptr && enabled && fd >= 0 && writeNotifier_ == nullptr) {
        sendNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        connect(sendNotifier_, &QSocketNotifier::activated, this, &TcpSocket::writable);
    }
    if (sendNotifier_ != nullptr) {
        sendNotifier_->setEnabled(enabled);
    }
}

int TcpSocket::pendingError() const {
    int pending = 0;
    socklen_t len = sizeof pending;
    const int fd = fd_.load();
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &len) != 0) {
        return 0;
    }
    return toSocketError(pending);
}

void TcpSocket::onReadable() {
    // A pending error also comes back from the read that follows; asking for
    // it here would cost a system call per chunk.
    emit readNotification(0);
}

}  // namespace kova
