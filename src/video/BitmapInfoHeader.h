#pragma once
// The 40-byte video format record used in settings, call parameters and codecs.

#include <array>
#include <cstdint>
#include <optional>

#include "common/ByteIo.h"

namespace kova {

struct BitmapInfoHeader {
    static constexpr std::size_t kSize = 40;

    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;

    // Reads kSize bytes at offset; the caller has checked the span holds them.
    static BitmapInfoHeader read(ByteSpan bytes, std::size_t offset = 0);
    void write(MutableByteSpan bytes, std::size_t offset = 0) const;
    static std::optional<BitmapInfoHeader> decode(ByteSpan bytes);
    std::array<std::byte, kSize> encode() const;

    bool operator==(const BitmapInfoHeader&) const = default;
};

// A FourCC as the four characters in memory order: "IV50" -> 0x30355649.
constexpr std::uint32_t fourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}

}  // namespace kova
