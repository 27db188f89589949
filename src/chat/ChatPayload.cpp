#include "chat/ChatPayload.h"

#include <algorithm>

namespace kova::chat {

std::u16string decodePayload(ByteSpan datagram) {
    const std::size_t units = std::min(datagram.size(), kMaxDatagram) / 2;
    std::u16string text;
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<char16_t>(readLe<std::uint16_t>(datagram, 2 * i));
        if (unit == u'\0') {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

std::vector<std::byte> encodePayload(std::u16string_view units) {
    const std::size_t n = std::min(units.size(), kMaxUnits);
    std::vector<std::byte> bytes(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        writeLe<std::uint16_t>(bytes, 2 * i, units[i]);
    }
    return bytes;
}

bool isRtfDocument(std::u16string_view text) {
    return text.starts_with(u"{\\rtf");
}

}  // namespace kova::chat
