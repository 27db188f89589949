#pragma once
// The receiving half of a media channel without the socket: the buffer each
// datagram is read into, and the reassembly of fragments into frames.
//
// Fragments are appended in arrival order; their sequence values are not
// compared and a lost last fragment lets the next frame's fragments continue
// the reassembly until it completes or overflows. That is the peers' protocol:
// the decoder rejects such a frame and the sender's pacing moves on. A whole
// frame between fragments is delivered and leaves the reassembly untouched.

#include <cstdint>
#include <optional>
#include <vector>

#include "common/ByteIo.h"

namespace kova {

class MediaReassembler {
public:
    struct Frame {
        // Valid until the next datagram is taken or the buffers are reset.
        ByteSpan data;
        std::uint8_t sequence = 0;
    };

    // Allocates both buffers for frames of at most maxFrame bytes (the only
    // allocation: nothing is allocated per datagram) and forgets any partial
    // frame, whose bytes went with the old buffers.
    void reset(std::size_t maxFrame);
    // Frees both buffers.
    void release();

    std::size_t maxFrame() const { return reassembly_.size(); }
    // Bytes of the frame being reassembled; 0 when none is.
    std::size_t fill() const { return fill_; }

    // Where the next datagram is read: maxFrame + 4 bytes. A longer datagram
    // does not fit and is the reader's failed read.
    MutableByteSpan receiveBuffer() { return receive_; }

    // Takes the datagram of `size` bytes just read into receiveBuffer() and
    // returns the frame it completes. Dropped without a frame: fewer than 4
    // bytes, fewer bytes than the length field says (more are accepted: the
    // field is a lower bound), a first byte no sender produces (30 and above),
    // and a fragment that would overflow maxFrame (the reassembly starts again
    // from empty).
    std::optional<Frame> take(std::size_t size);
    // Copies a datagram into the receive buffer and takes it; one longer than
    // the buffer is dropped like a failed read.
    std::optional<Frame> accept(ByteSpan datagram);

private:
    std::vector<std::byte> receive_;
    std::vector<std::byte> reassembly_;
    std::size_t fill_ = 0;
};

}  // namespace kova
