#pragma once
// Echo cancellation, noise suppression and gain control of our own microphone,
// in 10 ms blocks of 8000 Hz mono 16-bit PCM. What leaves the processor is what
// we send; the peer's sound is only analysed as the echo reference.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace kova {

struct AudioProcessingSwitches {
    bool echoCancellation = false;
    bool noiseSuppression = false;
    bool gainControl = false;

    bool any() const { return echoCancellation || noiseSuppression || gainControl; }
    bool operator==(const AudioProcessingSwitches&) const = default;
};

class IAudioProcessor {
public:
    static constexpr int kRate = 8000;
    // The library works on 10 ms chunks only.
    static constexpr std::size_t kBlockSamples = 80;
    static constexpr int kBlockMs = 10;
    using Block = std::span<std::int16_t, kBlockSamples>;
    using ConstBlock = std::span<const std::int16_t, kBlockSamples>;

    virtual ~IAudioProcessor() = default;
    // Every call below comes from one thread at a time (the capture thread).
    virtual bool setSwitches(const AudioProcessingSwitches& on) = 0;
    // A block of the peer's sound as it goes to the loudspeaker.
    virtual void analyzeFarEnd(ConstBlock block) = 0;
    // A block of the microphone, changed in place. delayMs: from the far-end
    // block last analysed reaching the loudspeaker to this block's capture.
    virtual bool processNearEnd(Block block, int delayMs) = 0;
};

// The WebRTC audio processing module; null when it cannot be set up.
std::unique_ptr<IAudioProcessor> makeAudioProcessor();

}  // namespace kova
