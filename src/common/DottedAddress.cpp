#include "common/DottedAddress.h"

#include <QList>

namespace kova {

namespace {

// One part of a dotted address in C notation; nullopt when it is not a number.
std::optional<std::uint64_t> parsePart(QStringView text) {
    if (text.isEmpty()) {
        return std::nullopt;
    }
    int base = 10;
    qsizetype i = 0;
    if (text.size() > 1 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        i = 2;
    } else if (text.size() > 1 && text[0] == u'0') {
        base = 8;
        i = 1;
    }
    std::uint64_t value = 0;
    if (i == text.size() && base == 16) {
        return std::nullopt;  // "0x" alone
    }
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (base == 16 && c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (base == 16 && c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        }
        if (digit < 0 || digit >= base) {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > 0xFFFFFFFFull) {
            return std::nullopt;
        }
    }
    return value;
}

}  // namespace

std::optional<std::uint32_t> parseDottedIpv4(QStringView text) {
    const QList<QStringView> parts = text.split(u'.');
    if (parts.isEmpty() || parts.size() > 4) {
        return std::nullopt;
    }
    std::uint64_t values[4] = {};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const auto v = parsePart(parts[i]);
        if (!v) {
            return std::nullopt;
        }
        values[i] = *v;
    }
    const auto n = parts.size();
    const std::uint64_t lastMax = n == 1 ? 0xFFFFFFFFull : (1ull << (8 * (5 - n))) - 1;
    std::uint32_t host = 0;
    for (qsizetype i = 0; i + 1 < n; ++i) {
        if (values[i] > 0xFF) {
            return std::nullopt;
        }
        host |= static_cast<std::uint32_t>(values[i]) << (24 - 8 * i);
    }
    if (values[n - 1] > lastMax) {
        return std::nullopt;
    }
    return host | static_cast<std::uint32_t>(values[n - 1]);
}

}  // namespace kova
