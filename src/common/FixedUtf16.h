#pragma once
// A fixed-width UTF-16LE text field as records, files and datagrams carry it:
// N code units, the text ending at the first NUL or at the end of the field.
// The raw units are kept as read, so a field is written back byte for byte.

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "common/ByteIo.h"

namespace kova {

template <std::size_t N>
struct FixedUtf16 {
    static constexpr std::size_t kUnits = N;
    static constexpr std::size_t kBytes = 2 * N;

    std::array<char16_t, N> units{};

    // The text up to the first NUL; a field without one yields all N units.
    std::u16string text() const {
        auto end = std::find(units.begin(), units.end(), u'\0');
        return std::u16string(units.begin(), end);
    }

    // Stores at most N - 1 units and a NUL, never half of a surrogate pair;
    // the rest of the field is cleared.
    void setText(std::u16string_view text) {
        units.fill(u'\0');
        std::size_t n = 0;
        for (; n < N - 1 && n < text.size(); ++n) {
            units[n] = text[n];
        }
        if (n < text.size() && n > 0 && units[n - 1] >= 0xD800 && units[n - 1] <= 0xDBFF) {
            units[n - 1] = u'\0';
        }
    }

    static FixedUtf16 read(ByteSpan bytes, std::size_t offset) {
        FixedUtf16 f;
        for (std::size_t i = 0; i < N; ++i) {
            f.units[i] = static_cast<char16_t>(readLe<std::uint16_t>(bytes, offset + 2 * i));
        }
        return f;
    }

    void write(MutableByteSpan bytes, std::size_t offset) const {
        for (std::size_t i = 0; i < N; ++i) {
            writeLe<std::uint16_t>(bytes, offset + 2 * i, units[i]);
        }
    }

    bool operator==(const FixedUtf16&) const = default;
};

}  // namespace kova
