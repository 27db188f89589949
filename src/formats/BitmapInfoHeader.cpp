#include "formats/BitmapInfoHeader.h"

namespace kova {

BitmapInfoHeader BitmapInfoHeader::read(ByteSpan b, std::size_t o) {
    BitmapInfoHeader h;
    h.size = readLe<std::uint32_t>(b, o + 0);
    h.width = readLe<std::int32_t>(b, o + 4);
    h.height = readLe<std::int32_t>(b, o + 8);
    h.planes = readLe<std::uint16_t>(b, o + 12);
    h.bitCount = readLe<std::uint16_t>(b, o + 14);
    h.compression = readLe<std::uint32_t>(b, o + 16);
    h.sizeImage = readLe<std::uint32_t>(b, o + 20);
    h.xPelsPerMeter = readLe<std::int32_t>(b, o + 24);
    h.yPelsPerMeter = readLe<std::int32_t>(b, o + 28);
    h.clrUsed = readLe<std::uint32_t>(b, o + 32);
    h.clrImportant = readLe<std::uint32_t>(b, o + 36);
    return h;
}

void BitmapInfoHeader::write(MutableByteSpan b, std::size_t o) const {
    writeLe(b, o + 0, size);
    writeLe(b, o + 4, width);
    writeLe(b, o + 8, height);
    writeLe(b, o + 12, planes);
    writeLe(b, o + 14, bitCount);
    writeLe(b, o + 16, compression);
    writeLe(b, o + 20, sizeImage);
    writeLe(b, o + 24, xPelsPerMeter);
    writeLe(b, o + 28, yPelsPerMeter);
    writeLe(b, o + 32, clrUsed);
    writeLe(b, o + 36, clrImportant);
}

std::optional<BitmapInfoHeader> BitmapInfoHeader::decode(ByteSpan bytes) {
    if (bytes.size() < kSize) {
        return std::nullopt;
    }
    return read(bytes);
}

std::array<std::byte, BitmapInfoHeader::kSize> BitmapInfoHeader::encode() const {
    std::array<std::byte, kSize> out{};
    write(out);
    return out;
}

}  // namespace kova
