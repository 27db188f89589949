#include "formats/WaveFormat.h"

#include <algorithm>
#include <cstring>

namespace kova {

WaveFormat WaveFormat::defaultDestination() {
    WaveFormat f;
    f.formatTag = kTagGsm610;
    f.channels = 1;
    f.samplesPerSec = 8000;
    f.avgBytesPerSec = 1625;
    f.blockAlign = 65;
    f.bitsPerSample = 0;
    constexpr std::uint16_t kSamplesPerBlock = 320;
    f.extra.resize(2);
    writeLe<std::uint16_t>(f.extra, 0, kSamplesPerBlock);
    return f;
}

WaveFormat WaveFormat::pcm(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels) {
    WaveFormat f;
    f.formatTag = kTagPcm;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<std::uint16_t>(channels * ((bits + 7) / 8));
    f.avgBytesPerSec = rate * f.blockAlign;
    return f;
}

std::uint16_t WaveFormat::extraWord() const {
    return extra.size() >= 2 ? readLe<std::uint16_t>(extra, 0) : 0;
}

std::optional<WaveFormat> WaveFormat::decode(ByteSpan b) {
    if (b.size() < kHeaderSize) {
        return std::nullopt;
    }
    WaveFormat f;
    f.formatTag = readLe<std::uint16_t>(b, 0);
    f.channels = readLe<std::uint16_t>(b, 2);
    f.samplesPerSec = readLe<std::uint32_t>(b, 4);
    f.avgBytesPerSec = readLe<std::uint32_t>(b, 8);
    f.blockAlign = readLe<std::uint16_t>(b, 12);
    f.bitsPerSample = readLe<std::uint16_t>(b, 14);
    const std::size_t extraSize =
        std::min<std::size_t>(readLe<std::uint16_t>(b, 16), b.size() - kHeaderSize);
    f.extra.assign(b.begin() + kHeaderSize, b.begin() + kHeaderSize + extraSize);
    return f;
}

std::vector<std::byte> WaveFormat::encode() const {
    std::vector<std::byte> out(kHeaderSize + extra.size());
    writeLe(out, 0, formatTag);
    writeLe(out, 2, channels);
    writeLe(out, 4, samplesPerSec);
    writeLe(out, 8, avgBytesPerSec);
    writeLe(out, 12, blockAlign);
    writeLe(out, 14, bitsPerSample);
    writeLe(out, 16, static_cast<std::uint16_t>(extra.size()));
    std::copy(extra.begin(), extra.end(), out.begin() + kHeaderSize);
    return out;
}

std::array<std::byte, WaveFormat::kAreaSize> WaveFormat::toArea() const {
    std::array<std::byte, kAreaSize> area{};
    const auto bytes = encode();
    std::memcpy(area.data(), bytes.data(), std::min(bytes.size(), area.size()));
    return area;
}

}  // namespace kova
