#pragma once
// How late the peer's audio frames arrive against their own sending pace:
// each arrival's delay relative to the earliest in a sliding window, and the
// 95th percentile of those delays, which the playout keeps in hand. The frame
// numbers (0..9) are only used to count lost frames, so a loss does not look
// like a late frame.

#include <array>
#include <cstdint>

namespace kova {

class CJitterEstimate {
public:
    // About five seconds of 40 ms frames: long enough to hold the sender's
    // buffer pattern many times over, short enough to follow a changed path.
    static constexpr int kWindow = 128;
    // Below this many arrivals the percentile is the maximum: no guess yet.
    static constexpr int kMinForPercentile = 20;
    // A longer pause is a new talk spurt (or a restarted sender): start over.
    static constexpr std::uint32_t kResetGapMs = 1000;

    // One arrival at nowMs of a frame of mediaUs of sound with that frame number.
    void arrival(std::uint32_t nowMs, int sequence, std::uint32_t mediaUs);
    void reset();

    // The latest arrival's delay behind the earliest in the window.
    std::uint32_t lastMs() const { return last_; }
    std::uint32_t percentile95Ms() const { return p95_; }
    int count() const { return count_; }

private:
    std::array<std::int64_t, kWindow> delays_{};  // arrival minus sending pace, us
    int next_ = 0;
    int count_ = 0;
    bool started_ = false;
    std::uint32_t firstMs_ = 0;
    std::uint32_t lastArrivalMs_ = 0;
    std::int64_t mediaUs_ = 0;
    std::uint32_t lastMediaUs_ = 0;
    int lastSequence_ = -1;
    std::uint32_t last_ = 0;
    std::uint32_t p95_ = 0;
};

}  // namespace kova
