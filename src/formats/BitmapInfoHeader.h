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

// Image size used by codecs and media buffers: the whole image rounded up to 32
// bits, rows not padded. Computed in 64 bits: the fields may come from a peer.
constexpr std::uint64_t imageSizeOf(const BitmapInfoHeader& h) {
    const std::uint64_t w = h.width < 0 ? 0u : static_cast<std::uint64_t>(h.width);
    const std::uint64_t rows =
        h.height < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(h.height))
                     : static_cast<std::uint64_t>(h.height);
    return ((w * rows * h.bitCount + 31) & ~std::uint64_t{31}) / 8;
}

// Bytes of one row of a device-independent bitmap: padded to 4 bytes.
constexpr std::uint64_t dibStrideOf(const BitmapInfoHeader& h) {
    const std::uint64_t w = h.width < 0 ? 0u : static_cast<std::uint64_t>(h.width);
    return ((w * h.bitCount + 31) & ~std::uint64_t{31}) / 8;
}

// Bytes of a whole bitmap with padded rows, as capture delivers it.
constexpr std::uint64_t dibFrameSizeOf(const BitmapInfoHeader& h) {
    const std::uint64_t rows =
        h.height < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(h.height))
                     : static_cast<std::uint64_t>(h.height);
    return dibStrideOf(h) * rows;
}

// An uncompressed bitmap header of the given size, as capture formats are.
constexpr BitmapInfoHeader rgbFormat(std::int32_t width, std::int32_t height,
                                     std::uint16_t bitCount = 24) {
    BitmapInfoHeader h;
    h.size = BitmapInfoHeader::kSize;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = bitCount;
    h.compression = 0;
    h.sizeImage = static_cast<std::uint32_t>(dibFrameSizeOf(h));
    return h;
}

// A FourCC as the four characters in memory order: "IV50" -> 0x30355649.
constexpr std::uint32_t fourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}

}  // namespace kova
