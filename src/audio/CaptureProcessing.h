#pragma once
// The processing stage between the microphone and the codec: splits what the
// device records into the processor's 10 ms blocks, feeds it the echo
// reference the playout left, and passes the result on in order.
//
// Buffers of whole blocks (the default 10 ms recording buffers) leave without
// delay; a tail short of a block waits for the next buffer, at most 9.9 ms.
// With every switch off, or a source the processor cannot take, the bytes pass
// untouched. The capture thread calls process and flush; switches may change
// from any thread and take effect at the next buffer.

#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>

#include "audio/EchoReference.h"
#include "formats/WaveFormat.h"
#include "platform/AudioProcessing.h"

namespace kova {

class CCaptureProcessing {
public:
    using Factory = std::function<std::unique_ptr<IAudioProcessor>()>;
    using Clock = std::function<std::int64_t()>;
    static constexpr std::size_t kBlockBytes = IAudioProcessor::kBlockSamples * 2;

    explicit CCaptureProcessing(Factory factory = makeAudioProcessor, Clock clock = steadyMicros);

    // Only while the capture thread is not running.
    void setFactory(Factory factory) { factory_ = std::move(factory); }
    void setSwitches(const AudioProcessingSwitches& on);
    AudioProcessingSwitches switches() const;
    CEchoReference& reference() { return reference_; }

    // Before the capture thread starts: a fresh processor when the source is
    // 8000 Hz mono 16-bit PCM, none (pass-through) otherwise.
    void begin(const WaveFormat& source);
    void end() { processor_.reset(); }
    bool active() const { return processor_ != nullptr; }

    // Capture thread. data is changed in place; out(const std::byte*, size_t)
    // returns false to stop.
    template <class Out>
    bool process(std::byte* data, std::size_t n, Out&& out);
    // The tail still waiting for a block, as recorded (the device ended).
    template <class Out>
    bool flush(Out&& out);

    // Blocks processed and far-end blocks analysed since begin (tests, benchmark).
    std::uint64_t nearBlocks() const { return nearBlocks_; }
    std::uint64_t farBlocks() const { return farBlocks_; }
    int lastDelayMs() const { return lastDelayMs_; }

private:
    // Applies switches that changed; false: pass through.
    bool ready();
    // One block in place; capturedUs is when its first sample was recorded.
    void processBlock(std::byte* block, std::int64_t capturedUs);

    Factory factory_;
    Clock clock_;
    CEchoReference reference_;
    std::unique_ptr<IAudioProcessor> processor_;
    std::atomic<unsigned> wanted_{0};
    unsigned applied_ = ~0u;
    std::array<std::byte, kBlockBytes> carry_{};
    const std::array<std::int16_t, IAudioProcessor::kBlockSamples> silence_{};
    std::size_t carried_ = 0;
    std::int64_t lastRenderUs_ = 0;
    bool haveReference_ = false;
    int lastDelayMs_ = 0;
    std::uint64_t nearBlocks_ = 0;
    std::uint64_t farBlocks_ = 0;
};

template <class Out>
bool CCaptureProcessing::process(std::byte* data, std::size_t n, Out&& out) {
    if (!ready()) {
        if (!flush(out)) {
            return false;
        }
        return n == 0 || out(static_cast<const std::byte*>(data), n);
    }
    constexpr std::int64_t kSampleUs = CEchoReference::kSampleUs;
    // The buffer was complete just now: its last sample is the newest.
    std::int64_t capturedUs = clock_() - static_cast<std::int64_t>((carried_ + n) / 2) * kSampleUs;
    if (carried_ > 0) {
        const std::size_t take = std::min(n, kBlockBytes - carried_);
        std::memcpy(carry_.data() + carried_, data, take);
        carried_ += take;
        data += take;
        n -= take;
        if (carried_ < kBlockBytes) {
            return true;
        }
        processBlock(carry_.data(), capturedUs);
        capturedUs += IAudioProcessor::kBlockMs * 1000;
        carried_ = 0;
        if (!out(static_cast<const std::byte*>(carry_.data()), kBlockBytes)) {
            return false;
        }
    }
    const std::size_t whole = n - n % kBlockBytes;
    for (std::size_t at = 0; at < whole; at += kBlockBytes) {
        processBlock(data + at, capturedUs);
        capturedUs += IAudioProcessor::kBlockMs * 1000;
    }
    if (whole > 0 && !out(static_cast<const std::byte*>(data), whole)) {
        return false;
    }
    carried_ = n - whole;
    std::memcpy(carry_.data(), data + whole, carried_);
    return true;
}

template <class Out>
bool CCaptureProcessing::flush(Out&& out) {
    if (carried_ == 0) {
        return true;
    }
    const std::size_t n = carried_;
    carried_ = 0;
    return out(static_cast<const std::byte*>(carry_.data()), n);
}

}  // namespace kova
