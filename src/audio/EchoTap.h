#pragma once
// An output device that also hands what it plays to the echo reference: the
// decoded PCM at the moment it goes to the device, stamped with the time the
// device will play it. The player does not know it is there.

#include <functional>
#include <memory>

#include "audio/EchoReference.h"
#include "platform/WaveOut.h"

namespace kova {

class CEchoTapWaveOut final : public IWaveOut {
public:
    // Frames the device holds that it has not played yet; none: 0.
    using DelayFrames = std::function<long()>;
    using Clock = std::function<std::int64_t()>;

    CEchoTapWaveOut(std::unique_ptr<IWaveOut> device, CEchoReference& reference, DelayFrames delay,
                    Clock clock = steadyMicros);

    int query(const WaveFormat& pcm) override { return device_->query(pcm); }
    int open(const WaveFormat& pcm) override;
    std::optional<std::uint32_t> volume() override { return device_->volume(); }
    void setVolume(std::uint32_t volume) override { device_->setVolume(volume); }
    bool done(int header) override { return device_->done(header); }
    int write(int header, ByteSpan pcm) override;
    std::optional<std::uint32_t> queuedFrames() override { return device_->queuedFrames(); }
    int reset() override;
    int close() override;

private:
    std::unique_ptr<IWaveOut> device_;
    CEchoReference& reference_;
    DelayFrames delay_;
    Clock clock_;
    // Only the format the microphone is processed in is a usable reference.
    bool usable_ = false;
};

}  // namespace kova
