#pragma once
// Playback on ALSA's "default" PCM. Each header's bytes are copied into the
// device ring at write; a header is done once the device has played its last
// frame, so at most five frames wait in the device.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/WaveOut.h"

typedef struct _snd_pcm snd_pcm_t;

namespace kova {

class AlsaWaveOut final : public IWaveOut {
public:
    // Playback starts once this much is queued: one period.
    static constexpr std::uint32_t kDefaultStartMs = 10;
    // Silence queued in front of the first frame after a (re)start: the margin
    // that absorbs the playout thread's wake-up jitter. Frames are written
    // just in time, so without it the device runs dry between two of them.
    // One period; a player that watches the level adds what the network needs.
    static constexpr std::uint32_t kDefaultPrefillMs = 10;
    // The device ring. Servers such as PulseAudio buffer up to the ring's
    // length, so a long ring is heard as latency; a write that finds it full
    // just waits.
    static constexpr std::uint32_t kRingMs = 400;

    explicit AlsaWaveOut(std::string pcmName = "default");
    ~AlsaWaveOut() override;

    void setStartThresholdMs(std::uint32_t ms) { startMs_ = ms; }
    void setPrefillMs(std::uint32_t ms) { prefillMs_ = ms; }

    int query(const WaveFormat& pcm) override;
    int open(const WaveFormat& pcm) override;
    std::optional<std::uint32_t> volume() override;
    void setVolume(std::uint32_t volume) override;
    bool done(int header) override;
    int write(int header, ByteSpan pcm) override;
    std::optional<std::uint32_t> queuedFrames() override;
    int reset() override;
    int close() override;

    // Blocks until everything written has been played (sound files).
    void drain();
    std::uint64_t underruns() const { return underruns_.load(); }
    // Frames written but not yet heard, as the device reports them.
    long delayFrames();

private:
    int configure(snd_pcm_t* pcm, const WaveFormat& format, std::uint32_t* ringFrames = nullptr);
    int writeFrames(const std::byte* p, std::size_t frames);
    std::int64_t playedFrames();

    std::string name_;
    std::uint32_t startMs_ = kDefaultStartMs;
    std::uint32_t prefillMs_ = kDefaultPrefillMs;
    std::uint32_t rate_ = 8000;
    bool needPrefill_ = true;
    std::mutex mutex_;
    snd_pcm_t* pcm_ = nullptr;
    std::size_t frameBytes_ = 2;
    std::uint32_t ringFrames_ = 0;
    std::int64_t written_ = 0;
    std::array<std::int64_t, kHeaders> endOf_{};
    std::atomic<std::uint64_t> underruns_{0};
};

}  // namespace kova
