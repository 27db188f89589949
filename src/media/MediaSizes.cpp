#include "media/MediaSizes.h"

#include <algorithm>
#include <cstdlib>

#include "formats/WaveFormat.h"

namespace kova {

std::uint64_t videoFrameSize(const BitmapInfoHeader& f) {
    const std::uint64_t w = static_cast<std::uint64_t>(std::llabs(f.width));
    const std::uint64_t h = static_cast<std::uint64_t>(std::llabs(f.height));
    // Each side is below 2^32, so w * h fits; the bit count could carry the
    // product past 64 bits and round it to a small, acceptable size.
    const std::uint64_t pixels = w * h;
    if (f.bitCount != 0 && pixels > (UINT64_MAX - 31) / f.bitCount) {
        return UINT64_MAX;
    }
    return ((pixels * f.bitCount + 31) & ~std::uint64_t{31}) / 8;
}

std::uint64_t audioFrameSize(ByteSpan area, std::uint16_t bufferMs) {
    const auto format = WaveFormat::decode(area);
    if (!format) {
        return 0;
    }
    std::uint64_t k = (std::uint64_t{format->samplesPerSec} * bufferMs + 500) / 1000;
    if (k == 0) {
        k = 1;
    }
    return std::max<std::uint64_t>(format->avgBytesPerSec, std::uint64_t{format->blockAlign} * k);
}

}  // namespace kova
