#pragma once
// The audio format record (tag, channels, rate, ... and the codec's extra bytes)
// as it travels in settings and call parameters: 18 bytes, then cbSize extra bytes,
// inside a fixed 146-byte area.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/ByteIo.h"

namespace kova {

struct WaveFormat {
    static constexpr std::size_t kHeaderSize = 18;
    // The area reserved for a format and its extra bytes in files and datagrams.
    static constexpr std::size_t kAreaSize = 146;

    static constexpr std::uint16_t kTagPcm = 0x0001;
    static constexpr std::uint16_t kTagAdpcmMs = 0x0002;
    static constexpr std::uint16_t kTagALaw = 0x0006;
    static constexpr std::uint16_t kTagMuLaw = 0x0007;
    static constexpr std::uint16_t kTagImaAdpcm = 0x0011;
    static constexpr std::uint16_t kTagGsm610 = 0x0031;

    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::vector<std::byte> extra;  // cbSize bytes

    // GSM 6.10 at 8000 Hz mono in 65-byte blocks of 320 samples: what the
    // program records into unless the user picked another codec.
    static WaveFormat defaultDestination();
    // Plain PCM: avgBytesPerSec and blockAlign follow from the rest, no extra bytes.
    static WaveFormat pcm(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels);
    // The first word of the extra bytes (samples per block of block codecs); 0 when absent.
    std::uint16_t extraWord() const;

    // Reads the header and as many extra bytes as cbSize announces and the span
    // holds; nullopt when even the header is missing.
    static std::optional<WaveFormat> decode(ByteSpan bytes);
    std::vector<std::byte> encode() const;
    // The format placed at the start of a zero-filled 146-byte area, cut to fit.
    std::array<std::byte, kAreaSize> toArea() const;

    bool operator==(const WaveFormat&) const = default;
};

}  // namespace kova
