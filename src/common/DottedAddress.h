#pragma once
// IPv4 addresses in numbers-and-dots notation, read as the classic inet_addr
// reads them: "a.b.c.d" and the short forms "a.b.c", "a.b" and "a", each part
// decimal, 0x hexadecimal or 0 octal, the last part filling the bytes left.

#include <QStringView>
#include <cstdint>
#include <optional>

namespace kova {

// The whole text as an address in host byte order; nullopt for anything else.
std::optional<std::uint32_t> parseDottedIpv4(QStringView text);

}  // namespace kova
