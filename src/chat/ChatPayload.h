#pragma once
// The chat datagram on UDP 6326: UTF-16LE code units, no header and no
// terminator, one message per datagram.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/ByteIo.h"

namespace kova::chat {

inline constexpr std::uint16_t kPort = 6326;
// Shorter or longer datagrams are dropped by the receiver.
inline constexpr std::size_t kMinDatagram = 4;
inline constexpr std::size_t kMaxDatagram = 4096;
inline constexpr std::size_t kMaxUnits = kMaxDatagram / 2;

// Sent as plain text when a chat window closes: 15 units, 30 bytes.
inline constexpr std::u16string_view kFarewell = u"Disconnected...";
// Shown when the control channel reports that the peer closed its window.
inline constexpr std::u16string_view kClosedLine = u"Disconnected!:)";

// The payload's text: size / 2 units, ending earlier at a NUL unit.
std::u16string decodePayload(ByteSpan datagram);

// The units as little-endian bytes, cut to kMaxDatagram.
std::vector<std::byte> encodePayload(std::u16string_view units);

// Whether a message should be read as an RTF document rather than plain text.
bool isRtfDocument(std::u16string_view text);

}  // namespace kova::chat
