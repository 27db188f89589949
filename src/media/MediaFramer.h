#pragma once
// The sending half of a media channel without the socket: numbers each frame
// 1..9, 0, 1, ... (running on across calls), writes the header into the
// caller's reserved bytes and sends the frame whole when it fits one datagram,
// otherwise in fragments built in one scratch buffer of the datagram size.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/ByteIo.h"
#include "formats/MediaHeader.h"

namespace kova {

class MediaFramer {
public:
    // Until the channel is first opened.
    static constexpr std::size_t kInitialMaxDatagram = 512;
    // The header's length field is 16 bits; a fragment must carry one byte.
    static constexpr std::size_t kLargestDatagram = 65535;
    static constexpr std::size_t kSmallestDatagram = MediaHeader::kSize + 1;

    // Clamped to [kSmallestDatagram, kLargestDatagram].
    void setMaxDatagram(std::size_t maxDatagram);
    std::size_t maxDatagram() const { return maxDatagram_; }
    // Sequence value of the last frame sent (0 before the first).
    std::uint8_t lastSequence() const { return lastSequence_; }

    // buffer = MediaHeader::kSize reserved bytes followed by the frame. send
    // takes one datagram (ByteSpan) and returns false when it failed, which
    // abandons the rest of the frame. A buffer without room for the header is
    // ignored.
    template <typename Send>
    void sendFrame(MutableByteSpan buffer, Send&& send);

private:
    std::uint8_t advanceSequence();

    std::size_t maxDatagram_ = kInitialMaxDatagram;
    std::uint8_t lastSequence_ = 0;
    // Sized to the datagram limit the first time a frame needs fragments after
    // the limit changed; reused for every fragmented frame after that.
    std::vector<std::byte> scratch_;
};

template <typename Send>
void MediaFramer::sendFrame(MutableByteSpan buffer, Send&& send) {
    constexpr std::size_t h = MediaHeader::kSize;
    if (buffer.size() < h) {
        return;
    }
    const std::uint8_t s = advanceSequence();
    const auto length = static_cast<std::uint16_t>(buffer.size());
    // A fragmented frame still gets its header (length cut to 16 bits) in the
    // caller's bytes; only the fragments' own headers go out.
    MediaHeader::make(MediaHeader::Kind::Whole, s, length).write(buffer);
    if (buffer.size() <= maxDatagram_) {
        send(ByteSpan(buffer));
        return;
    }
    if (scratch_.size() != maxDatagram_) {
        scratch_.assign(maxDatagram_, std::byte{0});
    }
    const std::size_t most = maxDatagram_ - h;
    const ByteSpan frame = ByteSpan(buffer).subspan(h);
    for (std::size_t pos = 0; pos < frame.size();) {
        const std::size_t left = frame.size() - pos;
        const std::size_t chunk = std::min(left, most);
        std::memcpy(scratch_.data() + h, frame.data() + pos, chunk);
        const auto kind =
            left > most ? MediaHeader::Kind::Fragment : MediaHeader::Kind::LastFragment;
        MediaHeader::make(kind, s, static_cast<std::uint16_t>(chunk + h)).write(scratch_);
        if (!send(ByteSpan(scratch_.data(), chunk + h))) {
            return;
        }
        pos += chunk;
    }
}

}  // namespace kova
