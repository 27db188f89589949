// Media datagrams: any sequence of datagrams into the reassembler never reads
// or writes outside its buffers, and every frame it gives fits the channel's
// size with a sequence value of 0..9. The input's first two bytes choose the
// frame size; then each datagram is a length byte pair and that many bytes.
// Every frame the fuzzer's bytes make, cut by the framer at a chosen limit,
// reassembles to itself.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "media/MediaFramer.h"
#include "media/MediaReassembler.h"

namespace {

void check(const std::optional<kova::MediaReassembler::Frame>& frame, std::size_t maxFrame) {
    if (frame && (frame->data.size() > maxFrame || frame->sequence > 9)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const auto bytes = std::as_bytes(std::span(data, size));
    const std::size_t maxFrame = kova::readLe<std::uint16_t>(bytes, 0) % 8192;

    kova::MediaReassembler reassembler;
    reassembler.reset(maxFrame);
    for (std::size_t pos = 2; pos + 2 <= size;) {
        const std::size_t len = kova::readLe<std::uint16_t>(bytes, pos) % 9000;
        pos += 2;
        const std::size_t n = std::min(len, size - pos);
        check(reassembler.accept(bytes.subspan(pos, n)), maxFrame);
        if (reassembler.fill() > maxFrame) {
            std::abort();
        }
        pos += n;
    }

    // Framer and reassembler agree on every frame and limit.
    kova::MediaFramer framer;
    framer.setMaxDatagram(5 + data[0] * 7 + data[1]);
    std::vector<std::byte> buffer(4 + size);
    std::memcpy(buffer.data() + 4, data, size);
    kova::MediaReassembler fresh;
    fresh.reset(size);
    std::optional<kova::MediaReassembler::Frame> last;
    framer.sendFrame(buffer, [&](kova::ByteSpan d) {
        last = fresh.accept(d);
        return true;
    });
    if (!last || last->data.size() != size || std::memcmp(last->data.data(), data, size) != 0) {
        std::abort();
    }
    return 0;
}
