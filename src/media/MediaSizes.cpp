#include "media/MediaSizes.h"

#include <algorithm>
#include <cstdlib>

#include "audio/WaveFormat.h"

namespace kova {

std::uint64_t videoFrameSize(const BitmapInfoHeader& f) {
    const std::uint64_t w = static_cast<std::uint64_t>(std::llabs(f.width));
    const std::uint64_t h = static_cast<std::uint64_t>(std::llabs(f.height));
    return ((w * h * f.bitCount + 31) & ~std::uint64_t{31}) / 8;
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
