#pragma once
// Little-endian field access over byte spans. Every wire and file format of the
// program is little-endian whatever the host; callers check the span's size once
// before reading, these helpers only assert it.

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

namespace kova {

using ByteSpan = std::span<const std::byte>;
using MutableByteSpan = std::span<std::byte>;

template <typename T>
requires std::is_integral_v<T> T readLe(ByteSpan bytes, std::size_t offset) {
    assert(offset + sizeof(T) <= bytes.size());
    std::make_unsigned_t<T> value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value |=
            static_cast<std::make_unsigned_t<T>>(std::to_integer<std::uint8_t>(bytes[offset + i]))
            << (8 * i);
    }
    return static_cast<T>(value);
}

template <typename T>
requires std::is_integral_v<T>
void writeLe(MutableByteSpan bytes, std::size_t offset, T value) {
    assert(offset + sizeof(T) <= bytes.size());
    auto u = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes[offset + i] = static_cast<std::byte>((u >> (8 * i)) & 0xFF);
    }
}

template <std::size_t N>
std::array<std::byte, N> readArray(ByteSpan bytes, std::size_t offset) {
    assert(offset + N <= bytes.size());
    std::array<std::byte, N> out{};
    std::memcpy(out.data(), bytes.data() + offset, N);
    return out;
}

template <std::size_t N>
void writeArray(MutableByteSpan bytes, std::size_t offset, const std::array<std::byte, N>& in) {
    assert(offset + N <= bytes.size());
    std::memcpy(bytes.data() + offset, in.data(), N);
}

}  // namespace kova
