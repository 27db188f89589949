#include "audio/PlayoutClock.h"

#include <chrono>

namespace kova {

std::uint32_t SteadyPlayoutClock::nowMs() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyPlayoutClock::sleepMs(std::uint32_t ms) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return woken_.load(); });
    woken_ = false;
}

void SteadyPlayoutClock::wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    cv_.notify_all();
}

}  // namespace kova
