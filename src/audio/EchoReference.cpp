#include "audio/EchoReference.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace kova {

std::int64_t steadyMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void CEchoReference::write(std::span<const std::byte> pcm, std::int64_t firstRenderUs) {
    constexpr std::size_t kSampleBytes = sizeof(std::int16_t);
    std::size_t samples = pcm.size() / kSampleBytes;
    std::size_t offset = 0;
    while (samples > 0) {
        if (pending_ == 0) {
            building_.renderUs = firstRenderUs + static_cast<std::int64_t>(offset) * kSampleUs;
        }
        const std::size_t take = std::min(samples, building_.samples.size() - pending_);
        std::memcpy(building_.samples.data() + pending_, pcm.data() + offset * kSampleBytes,
                    take * kSampleBytes);
        pending_ += take;
        offset += take;
        samples -= take;
        if (pending_ < building_.samples.size()) {
            break;
        }
        pending_ = 0;
        const std::uint64_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) >= kBlocks) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        ring_[head % kBlocks] = building_;
        // Release: the consumer sees the samples once it sees the count.
        head_.store(head + 1, std::memory_order_release);
    }
}

const CEchoReference::Block* CEchoReference::front() const {
    const std::uint64_t tail = tail_.load(std::memory_order_relaxed);
    if (head_.load(std::memory_order_acquire) == tail) {
        return nullptr;
    }
    return &ring_[tail % kBlocks];
}

void CEchoReference::pop() {
    const std::uint64_t tail = tail_.load(std::memory_order_relaxed);
    if (head_.load(std::memory_order_acquire) != tail) {
        // Release: the producer reuses the slot only after the read is done.
        tail_.store(tail + 1, std::memory_order_release);
    }
}

void CEchoReference::clear() {
    tail_.store(head_.load(std::memory_order_acquire), std::memory_order_release);
}

std::size_t CEchoReference::available() const {
    return static_cast<std::size_t>(head_.load(std::memory_order_acquire) -
                                    tail_.load(std::memory_order_relaxed));
}

}  // namespace kova
