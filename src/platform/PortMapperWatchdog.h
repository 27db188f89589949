#pragma once
// A hard time limit on libminiupnpc's calls. The library bounds each read by
// itself, but a router that sends a byte every few seconds keeps a call going
// for ever, and the call cannot be interrupted: its socket is the library's.
// The watchdog finds that socket by its peer (the router's address and port)
// among the process's descriptors and shuts it down, which makes the read
// return and the call fail.

#include <QThread>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace kova {

struct RouterPeer {
    std::uint32_t ipv4 = 0;  // host byte order
    std::uint16_t port = 0;
    bool operator==(const RouterPeer&) const = default;
};

// "http://192.0.2.1:5000/ctl" as the peer it connects to; nothing for host
// names, IPv6 or anything else.
std::optional<RouterPeer> routerPeerOf(std::string_view url);

class PortMapperWatchdog {
public:
    using Clock = std::chrono::steady_clock;
    // Past the deadline, new connections are cut as often as this.
    static constexpr std::chrono::milliseconds kRecheck{100};

    PortMapperWatchdog();
    ~PortMapperWatchdog();

    // Until disarm(): once the deadline has passed, cut every TCP connection
    // of this process to one of the peers.
    void arm(Clock::time_point deadline, std::vector<RouterPeer> peers);
    void disarm();

    // Connections cut so far (tests).
    int cuts() const;

private:
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool armed_ = false;
    bool ending_ = false;
    int cuts_ = 0;
    Clock::time_point deadline_;
    std::vector<RouterPeer> peers_;
    QThread* thread_ = nullptr;
};

}  // namespace kova
