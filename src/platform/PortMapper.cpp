#include "platform/PortMapper.h"

#include <charconv>

namespace kova {

namespace {

template <typename T>
std::optional<T> parseNumber(std::string_view text, T max) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > max) {
        return std::nullopt;
    }
    return static_cast<T>(value);
}

}  // namespace

std::optional<std::uint32_t> parseIpv4(std::string_view text) {
    std::uint32_t result = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t dot = text.find('.');
        if ((dot == std::string_view::npos) != (i == 3)) {
            return std::nullopt;
        }
        const std::string_view part = text.substr(0, dot);
        // No leading zeros: "010" is octal to some parsers and decimal to others.
        if (part.size() > 3 || (part.size() > 1 && part[0] == '0')) {
            return std::nullopt;
        }
        const std::optional<std::uint32_t> octet = parseNumber<std::uint32_t>(part, 255);
        if (!octet) {
            return std::nullopt;
        }
        result = (result << 8) | *octet;
        text.remove_prefix(i == 3 ? text.size() : dot + 1);
    }
    return result;
}

std::optional<ExistingMapping> parseMappingEntry(std::string_view client, std::string_view port,
                                                 std::string_view enabled, std::string_view lease) {
    const std::optional<std::uint32_t> address = parseIpv4(client);
    const std::optional<std::uint16_t> number = parseNumber<std::uint16_t>(port, 65535);
    if (!address || !number || *number == 0) {
        return std::nullopt;
    }
    ExistingMapping entry;
    entry.internalClient = dottedIpv4(*address);
    entry.internalPort = *number;
    // Routers leave these empty often enough; the mapping is still there.
    entry.enabled = enabled != "0";
    entry.leaseSeconds = parseNumber<std::uint32_t>(lease, 0xffffffffu).value_or(0);
    return entry;
}

bool isReservedIpv4(std::uint32_t a) {
    struct Range {
        std::uint32_t base;
        int bits;
    };
    // The special-purpose registry's IPv4 blocks that are not globally reachable.
    static constexpr Range kReserved[] = {
        {0x00000000, 8},  {0x0a000000, 8},  {0x64400000, 10}, {0x7f000000, 8},  {0xa9fe0000, 16},
        {0xac100000, 12}, {0xc0000000, 24}, {0xc0000200, 24}, {0xc0a80000, 16}, {0xc6120000, 15},
        {0xc6336400, 24}, {0xcb007100, 24}, {0xe0000000, 4},  {0xf0000000, 4},
    };
    for (const Range& r : kReserved) {
        if ((a >> (32 - r.bits)) == (r.base >> (32 - r.bits))) {
            return true;
        }
    }
    return false;
}

QString dottedIpv4(std::uint32_t a) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(a >> 24)
        .arg((a >> 16) & 0xff)
        .arg((a >> 8) & 0xff)
        .arg(a & 0xff);
}

}  // namespace kova
