#pragma once
// The peer's sound on its way to the loudspeaker, in 10 ms blocks, from the
// playout thread to the capture thread, where the echo canceller reads it.
//
// One producer (whoever writes to the output device), one consumer (the
// capture thread): a fixed ring of blocks and two counters, so neither side
// locks or allocates per block and the UI thread is never involved. A full ring
// drops the newest block (counted): the capture side is not running or stalls,
// and an old reference is worth more than none only while it is in order.

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "platform/AudioProcessing.h"

namespace kova {

// Microseconds of the steady clock, the time base both threads share.
std::int64_t steadyMicros();

class CEchoReference {
public:
    // 1.28 s: more than the longest frame a peer's buffer length gives (one
    // second), so one write never overruns a ring the capture just drained.
    static constexpr std::size_t kBlocks = 128;
    static constexpr std::int64_t kSampleUs = 1000000 / IAudioProcessor::kRate;

    struct Block {
        std::array<std::int16_t, IAudioProcessor::kBlockSamples> samples{};
        std::int64_t renderUs = 0;  // when its first sample reaches the loudspeaker
    };

    // Producer. pcm: 8000 Hz mono 16-bit little-endian bytes, any length; a
    // tail short of a block waits for the next write.
    void write(std::span<const std::byte> pcm, std::int64_t firstRenderUs);
    // Producer side (device reset or reopened): forgets the half-filled block.
    void restart() { pending_ = 0; }

    // Consumer: the oldest block, or null.
    const Block* front() const;
    void pop();
    // Consumer: forgets every block written so far.
    void clear();
    std::size_t available() const;
    std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    std::array<Block, kBlocks> ring_;
    // Counts of blocks written and read; the ring index is count % kBlocks.
    std::atomic<std::uint64_t> head_{0};
    std::atomic<std::uint64_t> tail_{0};
    std::atomic<std::uint64_t> dropped_{0};
    // Producer only.
    Block building_;
    std::size_t pending_ = 0;
};

}  // namespace kova
