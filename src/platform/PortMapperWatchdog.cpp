#include "platform/PortMapperWatchdog.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <charconv>
#include <cstdlib>

#include "common/ThreadCheck.h"
#include "platform/PortMapper.h"
#include "platform/ThreadName.h"

namespace kova {

std::optional<RouterPeer> routerPeerOf(std::string_view url) {
    constexpr std::string_view kScheme = "http://";
    if (url.substr(0, kScheme.size()) != kScheme) {
        return std::nullopt;
    }
    url.remove_prefix(kScheme.size());
    const std::string_view authority = url.substr(0, url.find_first_of("/?#"));
    const std::size_t colon = authority.find(':');
    const std::optional<std::uint32_t> ip = parseIpv4(authority.substr(0, colon));
    if (!ip) {
        return std::nullopt;
    }
    if (colon == std::string_view::npos) {
        return RouterPeer{*ip, 80};
    }
    const std::string_view digits = authority.substr(colon + 1);
    unsigned port = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (ec != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535) {
        return std::nullopt;
    }
    return RouterPeer{*ip, static_cast<std::uint16_t>(port)};
}

namespace {

// Returns how many it shut down. A descriptor closed and reused between the
// look and the cut could be hit instead; the window is a few instructions
// while the library sits blocked in a read.
int cutConnections(const std::vector<RouterPeer>& peers) {
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) {
        return 0;
    }
    int cut = 0;
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == ::dirfd(dir)) {
            continue;
        }
        int type = 0;
        socklen_t typeLength = sizeof type;
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 ||
            type != SOCK_STREAM ||
            ::getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) !=
                0 ||
            peer.sin_family != AF_INET) {
            continue;
        }
        const RouterPeer seen{ntohl(peer.sin_addr.s_addr), ntohs(peer.sin_port)};
        for (const RouterPeer& p : peers) {
            if (p == seen) {
                ::shutdown(static_cast<int>(fd), SHUT_RDWR);
                ++cut;
                break;
            }
        }
    }
    ::closedir(dir);
    return cut;
}

}  // namespace

PortMapperWatchdog::PortMapperWatchdog() {
    thread_ = createWorker([this] { run(); });
    nameThread(*thread_, "kova-upnp-watch");
    thread_->start();
}

PortMapperWatchdog::~PortMapperWatchdog() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    joinWorker(*thread_);
    delete thread_;
}

void PortMapperWatchdog::arm(Clock::time_point deadline, std::vector<RouterPeer> peers) {
    {
        std::lock_guard lock(mutex_);
        armed_ = true;
        deadline_ = deadline;
        peers_ = std::move(peers);
    }
    wake_.notify_all();
}

void PortMapperWatchdog::disarm() {
    std::lock_guard lock(mutex_);
    armed_ = false;
}

int PortMapperWatchdog::cuts() const {
    std::lock_guard lock(mutex_);
    return cuts_;
}

void PortMapperWatchdog::run() {
    std::unique_lock lock(mutex_);
    while (!ending_) {
        if (!armed_) {
            wake_.wait(lock);
            continue;
        }
        if (Clock::now() < deadline_) {
            wake_.wait_until(lock, deadline_);
            continue;
        }
        const std::vector<RouterPeer> peers = peers_;
        lock.unlock();
        const int cut = cutConnections(peers);
        lock.lock();
        cuts_ += cut;
        wake_.wait_for(lock, kRecheck);
    }
}

}  // namespace kova
