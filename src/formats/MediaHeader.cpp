#include "formats/MediaHeader.h"

namespace kova {

MediaHeader MediaHeader::make(Kind kind, std::uint8_t sequence, std::uint16_t length) {
    MediaHeader h;
    const std::uint8_t mark = kind == Kind::Whole      ? 0
                              : kind == Kind::Fragment ? kFragmentMark
                                                       : kLastFragmentMark;
    h.sequenceAndKind = static_cast<std::uint8_t>(mark + sequence % kSequenceCount);
    h.length = length;
    return h;
}

std::optional<MediaHeader> MediaHeader::decode(ByteSpan bytes) {
    if (bytes.size() < kSize) {
        return std::nullopt;
    }
    MediaHeader h;
    h.sequenceAndKind = readLe<std::uint8_t>(bytes, 0);
    h.reserved = readLe<std::uint8_t>(bytes, 1);
    h.length = readLe<std::uint16_t>(bytes, 2);
    return h;
}

std::array<std::byte, MediaHeader::kSize> MediaHeader::encode() const {
    std::array<std::byte, kSize> out{};
    write(out);
    return out;
}

void MediaHeader::write(MutableByteSpan datagram) const {
    writeLe(datagram, 0, sequenceAndKind);
    writeLe(datagram, 1, reserved);
    writeLe(datagram, 2, length);
}

std::optional<MediaHeader::Kind> MediaHeader::kind() const {
    if (sequenceAndKind < kFragmentMark) {
        return Kind::Whole;
    }
    if (sequenceAndKind < kLastFragmentMark) {
        return Kind::Fragment;
    }
    if (sequenceAndKind < kKindEnd) {
        return Kind::LastFragment;
    }
    return std::nullopt;
}

}  // namespace kova
