#pragma once
// Recording on ALSA. The capture thread reads one buffer per wake-up from a
// device ring of bufferCount periods; an eventfd lets a reset from another
// thread end a wait without touching the PCM from two threads.

#include <atomic>
#include <deque>
#include <mutex>
#include <string>

#include "platform/WaveIn.h"

typedef struct _snd_pcm snd_pcm_t;

namespace kova {

class AlsaWaveIn final : public IWaveIn {
public:
    AlsaWaveIn();
    ~AlsaWaveIn() override;

    // An explicit PCM name replaces the device index (tests and benchmarks).
    void setPcmName(std::string name) { pcmName_ = std::move(name); }

    bool open(int deviceIndex, const WaveFormat& format, std::uint32_t bufferBytes,
              int bufferCount) override;
    bool isOpen() const override { return pcm_ != nullptr; }
    bool addBuffer(WaveInBuffer* buffer) override;
    bool start() override;
    void reset() override;
    WaveInBuffer* waitBuffer() override;
    void close() override;
    QStringList deviceNames() override;

    // Overruns recovered since open.
    std::uint64_t overruns() const { return overruns_.load(); }
    // Frames the device held beyond the last buffer returned (for latency).
    long lastDelayFrames() const { return lastDelay_.load(); }

private:
    void drainWake();

    std::string pcmName_;
    snd_pcm_t* pcm_ = nullptr;
    int wakeFd_ = -1;
    std::size_t frameBytes_ = 2;
    std::mutex mutex_;
    std::deque<WaveInBuffer*> queue_;
    std::atomic<bool> resetRequested_{false};
    bool dropped_ = false;
    std::atomic<std::uint64_t> overruns_{0};
    std::atomic<long> lastDelay_{0};
};

}  // namespace kova
