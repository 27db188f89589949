#pragma once
// Where audio capture and the video sender hand their compressed frames: the
// media channel of the stream. Kept narrow so producers are tested with fakes.

#include <cstddef>
#include <span>

namespace kova {

class IFrameSink {
public:
    // Bytes in front of every frame buffer that the channel fills with its header.
    static constexpr std::size_t kHeaderRoom = 4;

    virtual ~IFrameSink() = default;
    // buffer = kHeaderRoom reserved bytes followed by the frame (its size is the
    // frame length + 4). The channel may write into the reserved bytes; a failed
    // send is silent.
    virtual void SendFrame(std::span<std::byte> buffer) = 0;
};

}  // namespace kova
