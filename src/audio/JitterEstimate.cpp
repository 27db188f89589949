#include "audio/JitterEstimate.h"

#include <algorithm>

namespace kova {

void CJitterEstimate::reset() {
    next_ = 0;
    count_ = 0;
    started_ = false;
    lastSequence_ = -1;
    last_ = 0;
    p95_ = 0;
}

void CJitterEstimate::arrival(std::uint32_t nowMs, int sequence, std::uint32_t mediaUs) {
    if (started_ && nowMs - lastArrivalMs_ > kResetGapMs) {
        reset();
    }
    if (!started_) {
        started_ = true;
        firstMs_ = nowMs;
        mediaUs_ = 0;
    } else {
        // Frames missing between the last and this one were sent all the same.
        int step = 1;
        if (lastSequence_ >= 0 && sequence >= 0) {
            step = (sequence - lastSequence_ + 10) % 10;
            if (step == 0 || step > 5) {
                step = 1;  // a duplicate or a reordered frame: counts as next
            }
        }
        mediaUs_ += std::int64_t{lastMediaUs_} * step;
    }
    lastArrivalMs_ = nowMs;
    lastSequence_ = sequence;
    lastMediaUs_ = mediaUs;
    const std::int64_t delay = std::int64_t{nowMs - firstMs_} * 1000 - mediaUs_;
    delays_[next_] = delay;
    next_ = (next_ + 1) % kWindow;
    count_ = std::min(count_ + 1, kWindow);

    std::array<std::int64_t, kWindow> sorted;
    std::copy_n(delays_.begin(), count_, sorted.begin());
    std::sort(sorted.begin(), sorted.begin() + count_);
    const std::int64_t earliest = sorted[0];
    const int at = count_ < kMinForPercentile ? count_ - 1 : (count_ * 95 + 99) / 100 - 1;
    last_ = static_cast<std::uint32_t>((delay - earliest) / 1000);
    p95_ = static_cast<std::uint32_t>((sorted[at] - earliest) / 1000);
}

}  // namespace kova
