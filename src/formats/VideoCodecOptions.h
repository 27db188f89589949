#pragma once
// The options our configure dialog sets for one encoder, kept as the opaque
// state blob of "<short name>.kova": 16 little-endian bytes.

#include <array>
#include <cstdint>
#include <optional>

#include "common/ByteIo.h"

namespace kova {

// Which knobs an encoder has; decides what its configure dialog offers.
enum class VideoOptionKind {
    None,     // lossless or fixed: no dialog
    Quality,  // quantiser scale from the quality percent
    Crf,      // constant rate factor from the quality percent
    BitRate,  // target bit rate
};

struct VideoCodecOptions {
    static constexpr std::size_t kSize = 16;
    static constexpr std::uint32_t kVersion = 1;
    // A key frame every 60 frames heals a lost frame within a few seconds at
    // the ack-paced rate; 0 means every frame is a key frame.
    static constexpr std::uint32_t kDefaultKeyFrameInterval = 60;
    static constexpr std::uint32_t kMaxKeyFrameInterval = 3000;
    static constexpr std::uint32_t kDefaultQuality = 80;  // percent
    static constexpr std::uint32_t kDefaultBitRateKbps = 600;
    static constexpr std::uint32_t kMinBitRateKbps = 16;
    static constexpr std::uint32_t kMaxBitRateKbps = 20000;

    std::uint32_t version = kVersion;
    std::uint32_t quality = kDefaultQuality;  // 1..100
    std::uint32_t bitRateKbps = kDefaultBitRateKbps;
    std::uint32_t keyFrameInterval = kDefaultKeyFrameInterval;

    // Values out of range are clamped, so a hand-edited file cannot upset a codec.
    static std::optional<VideoCodecOptions> decode(ByteSpan bytes);
    std::array<std::byte, kSize> encode() const;

    bool operator==(const VideoCodecOptions&) const = default;
};

}  // namespace kova
