#pragma once
// The output device as the player drives it: opened in 16-bit PCM, five
// output headers in a ring, each written with a copy of its bytes and finished
// once the device has played them. Narrow so the player is tested with a fake.

#include <cstdint>
#include <optional>

#include "common/ByteIo.h"
#include "formats/WaveFormat.h"

namespace kova {

class IWaveOut {
public:
    static constexpr int kHeaders = 5;

    virtual ~IWaveOut() = default;
    // 0 when the default output accepts the format, else the device's error code.
    virtual int query(const WaveFormat& pcm) = 0;
    virtual int open(const WaveFormat& pcm) = 0;
    // 0xRRRRLLLL as peers' mixers report it; nullopt when there is no volume control.
    virtual std::optional<std::uint32_t> volume() = 0;
    virtual void setVolume(std::uint32_t volume) = 0;
    // Whether header h (0..kHeaders-1) is free: never written, or played out.
    virtual bool done(int header) = 0;
    // Queues bytes under header h; the device keeps what it needs of them.
    virtual int write(int header, ByteSpan pcm) = 0;
    // Frames written that the device has not taken yet: what it can still
    // play before it runs dry. nullopt when the device cannot tell.
    virtual std::optional<std::uint32_t> queuedFrames() { return std::nullopt; }
    // Stops playing and marks every header done.
    virtual int reset() = 0;
    virtual int close() = 0;
};

}  // namespace kova
