#include "formats/VideoCodecOptions.h"

#include <algorithm>

namespace kova {

std::optional<VideoCodecOptions> VideoCodecOptions::decode(ByteSpan b) {
    if (b.size() != kSize || readLe<std::uint32_t>(b, 0) != kVersion) {
        return std::nullopt;
    }
    VideoCodecOptions o;
    o.quality = std::clamp<std::uint32_t>(readLe<std::uint32_t>(b, 4), 1, 100);
    o.bitRateKbps =
        std::clamp<std::uint32_t>(readLe<std::uint32_t>(b, 8), kMinBitRateKbps, kMaxBitRateKbps);
    o.keyFrameInterval =
        std::min<std::uint32_t>(readLe<std::uint32_t>(b, 12), kMaxKeyFrameInterval);
    return o;
}

std::array<std::byte, VideoCodecOptions::kSize> VideoCodecOptions::encode() const {
    std::array<std::byte, kSize> out{};
    writeLe(out, 0, version);
    writeLe(out, 4, quality);
    writeLe(out, 8, bitRateKbps);
    writeLe(out, 12, keyFrameInterval);
    return out;
}

}  // namespace kova
