#pragma once
// The byte stream of a file transfer on TCP 6327: the sender opens with a
// 528-byte offer header; after that the receiver answers each step with one
// byte and the sender pushes raw file bytes, at most one chunk per answer.

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/ByteIo.h"
#include "common/FixedUtf16.h"

namespace kova {

// One-byte replies. Stop travels both ways: declined, cancelled or broken.
constexpr std::byte kReplyAccept{0x79};  // 'y': offer accepted, start sending
constexpr std::byte kReplyNext{0x7B};    // '{': chunk received, send the next
constexpr std::byte kReplyDone{0x7C};    // '|': whole file received
constexpr std::byte kReplyStop{0x7A};    // 'z'

// The largest piece of file sent in answer to one reply.
constexpr std::size_t kChunkBytes = 4096;

struct OfferHeader {
    static constexpr std::size_t kSize = 528;
    static constexpr std::byte kTag{0x63};  // 'c'
    static constexpr std::size_t kSizeOffset = 4;
    static constexpr std::size_t kNameOffset = 8;

    // Signed 32 bits on the wire: files of 2 GiB or more cannot be offered.
    std::int32_t size = 0;
    FixedUtf16<260> name;  // without directory, at most 259 units and a NUL

    std::array<std::byte, kSize> encode() const;
    // Exactly kSize bytes starting with the tag, a size of 0..2^31-1 and a name
    // that starts with a printable unit; nullopt otherwise. A name starting with
    // NUL or a control unit is what a 64-bit size would leave there (its high
    // half), so the small low half cannot pass for the whole file. The three
    // bytes after the tag are not checked: peers leave them as they were.
    static std::optional<OfferHeader> decode(ByteSpan bytes);

    bool operator==(const OfferHeader&) const = default;
};

// Bytes of the next chunk: min(total - done, 4096), never negative.
std::size_t nextChunkBytes(std::int64_t total, std::int64_t done);

// Whether a file of this many bytes fits the header's signed 32-bit size.
constexpr bool fitsOffer(std::int64_t bytes) {
    return bytes >= 0 && bytes <= INT32_MAX;
}

// The name the save chooser proposes for a name that came from the network:
// only its last path component, without '/', '\', NUL and control characters;
// "", "." and ".." become "received-file". Nothing built from it can leave
// the folder it is joined to.
QString safeFileName(const QString& offered);

}  // namespace kova
