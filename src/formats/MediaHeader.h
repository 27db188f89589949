#pragma once
// The 4 bytes in front of every media datagram: sequence-and-kind, a reserved
// byte and the datagram's length (header included, little-endian). Byte 0 is
// the frame's sequence s (0..9) for a whole frame, s + 10 for a fragment that
// more follow, s + 20 for the last fragment of a frame.

#include <array>
#include <cstdint>
#include <optional>

#include "common/ByteIo.h"

namespace kova {

struct MediaHeader {
    static constexpr std::size_t kSize = 4;
    static constexpr std::uint8_t kSequenceCount = 10;
    static constexpr std::uint8_t kFragmentMark = 10;
    static constexpr std::uint8_t kLastFragmentMark = 20;
    // Byte 0 values a sender produces stop below this.
    static constexpr std::uint8_t kKindEnd = 30;

    enum class Kind { Whole, Fragment, LastFragment };

    std::uint8_t sequenceAndKind = 0;
    std::uint8_t reserved = 0;
    std::uint16_t length = 0;

    static MediaHeader make(Kind kind, std::uint8_t sequence, std::uint16_t length);

    // nullopt when fewer than kSize bytes are given.
    static std::optional<MediaHeader> decode(ByteSpan bytes);
    std::array<std::byte, kSize> encode() const;
    // Writes the header over the first kSize bytes of a datagram.
    void write(MutableByteSpan datagram) const;

    // nullopt for a byte 0 no sender produces (30 and above).
    std::optional<Kind> kind() const;
    std::uint8_t sequence() const { return sequenceAndKind % kSequenceCount; }

    bool operator==(const MediaHeader&) const = default;
};

}  // namespace kova
