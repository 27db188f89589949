#pragma once
// Two UDP sockets on the audio port standing in for the media channel:
// frames go out with the 4-byte media header (sequence 1..9, 0, ...; length)
// from 127.0.0.1 to 127.0.0.2 and come back out with their sequence value.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "common/ByteIo.h"
#include "media/FrameSink.h"

namespace kova::test {

constexpr std::uint16_t kAudioPort = 6324;

// Other tests use the audio port too: a busy port is waited for (up to 20 s)
// rather than shared, so no datagram goes to the wrong test.
inline int udpSocket(const char* address, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &a.sin_addr);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
            return fd;
        }
        ::close(fd);
        ::usleep(100000);
    }
    return -1;
}

class UdpFrameSender : public IFrameSink {
public:
    UdpFrameSender() : fd_(udpSocket("127.0.0.1", kAudioPort)) {
        to_.sin_family = AF_INET;
        to_.sin_port = htons(kAudioPort);
        ::inet_pton(AF_INET, "127.0.0.2", &to_.sin_addr);
    }
    ~UdpFrameSender() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool ok() const { return fd_ >= 0; }
    void SendFrame(std::span<std::byte> buffer) override {
        seq_ = seq_ + 1 > 9 ? 0 : seq_ + 1;
        buffer[0] = static_cast<std::byte>(seq_);
        writeLe(buffer, 2, static_cast<std::uint16_t>(buffer.size()));
        ::sendto(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&to_),
                 sizeof to_);
        ++sent;
    }
    std::atomic<int> sent{0};

private:
    int fd_;
    sockaddr_in to_{};
    std::uint8_t seq_ = 0;
};

class UdpFrameReceiver {
public:
    UdpFrameReceiver() : fd_(udpSocket("127.0.0.2", kAudioPort)) {}
    ~UdpFrameReceiver() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool ok() const { return fd_ >= 0; }
    // Waits up to timeoutMs for one datagram; hands its payload and sequence over.
    bool receive(int timeoutMs, const std::function<void(ByteSpan, int)>& deliver) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) {
            return false;
        }
        const ssize_t n = ::recv(fd_, buf_.data(), buf_.size(), 0);
        if (n < 4) {
            return true;
        }
        const int seq = std::to_integer<int>(buf_[0]);
        if (seq <= 9) {
            deliver(ByteSpan(buf_.data() + 4, static_cast<std::size_t>(n) - 4), seq);
        }
        return true;
    }

private:
    int fd_;
    std::vector<std::byte> buf_ = std::vector<std::byte>(65536);
};

}  // namespace kova::test
