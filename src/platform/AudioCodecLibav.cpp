#include "platform/AudioCodecLibav.h"

#include "platform/AudioCodecStream.h"

namespace kova {

namespace {

// ADPCM blocks as peers' codec managers size them: 256 bytes per channel up to
// 11025 Hz, doubling with each doubling of the rate.
std::uint16_t adpcmBlockAlign(std::uint32_t rate, std::uint16_t channels) {
    const std::uint32_t factor = rate <= 11025 ? 1 : rate <= 22050 ? 2 : 4;
    return static_cast<std::uint16_t>(256 * channels * factor);
}

WaveFormat adpcmFormat(std::uint16_t tag, const WaveFormat& pcm) {
    WaveFormat f;
    f.formatTag = tag;
    f.channels = pcm.channels;
    f.samplesPerSec = pcm.samplesPerSec;
    f.bitsPerSample = 4;
    f.blockAlign = adpcmBlockAlign(pcm.samplesPerSec, pcm.channels);
    const std::uint32_t ch = pcm.channels;
    std::uint16_t spb = 0;
    if (tag == WaveFormat::kTagImaAdpcm) {
        spb = static_cast<std::uint16_t>((f.blockAlign - 4 * ch) * 8 / (4 * ch) + 1);
        f.extra.resize(2);
    } else {
        spb = static_cast<std::uint16_t>((f.blockAlign - 7 * ch) * 2 / ch + 2);
        // Samples per block, then the seven standard predictor pairs.
        static constexpr std::int16_t kCoef[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                                     {240, 0}, {460, -208}, {392, -232}};
        f.extra.resize(4 + 7 * 4);
        writeLe<std::uint16_t>(f.extra, 2, 7);
        for (int i = 0; i < 7; ++i) {
            writeLe<std::int16_t>(f.extra, 4 + i * 4, kCoef[i][0]);
            writeLe<std::int16_t>(f.extra, 6 + i * 4, kCoef[i][1]);
        }
    }
    writeLe<std::uint16_t>(f.extra, 0, spb);
    f.avgBytesPerSec = pcm.samplesPerSec * f.blockAlign / spb;
    return f;
}

WaveFormat g711Format(std::uint16_t tag, const WaveFormat& pcm) {
    WaveFormat f = WaveFormat::pcm(pcm.samplesPerSec, 8, pcm.channels);
    f.formatTag = tag;
    return f;
}

}  // namespace

std::unique_ptr<IAudioStream> AudioCodecLibav::openStream(const WaveFormat& src,
                                                          const WaveFormat& dst) {
    return AudioCodecStream::open(src, dst);
}

bool AudioCodecLibav::queryStream(const WaveFormat& src, const WaveFormat& dst) {
    return AudioCodecStream::supported(src, dst);
}

std::optional<WaveFormat> AudioCodecLibav::suggestPcm(const WaveFormat& fmt) {
    // 16-bit PCM for every format, 8-bit PCM included: that is what the
    // devices are opened in and what every stream converts to and from.
    WaveFormat pcm = WaveFormat::pcm(fmt.samplesPerSec, 16, fmt.channels);
    if (!AudioCodecStream::supported(fmt, pcm) && !AudioCodecStream::supported(pcm, fmt)) {
        return std::nullopt;
    }
    return pcm;
}

QString AudioCodecLibav::tagName(std::uint16_t tag) {
    return AudioCodecStream::tagName(tag);
}

std::vector<WaveFormat> AudioCodecLibav::formatsFrom(const WaveFormat& src) {
    std::vector<WaveFormat> candidates = {
        WaveFormat::pcm(src.samplesPerSec, 16, src.channels),
        WaveFormat::pcm(src.samplesPerSec, 8, src.channels),
        WaveFormat::defaultDestination(),
        adpcmFormat(WaveFormat::kTagImaAdpcm, src),
        adpcmFormat(WaveFormat::kTagAdpcmMs, src),
        g711Format(WaveFormat::kTagALaw, src),
        g711Format(WaveFormat::kTagMuLaw, src),
    };
    std::vector<WaveFormat> out;
    for (const auto& f : candidates) {
        if (AudioCodecStream::supported(src, f)) {
            out.push_back(f);
        }
    }
    return out;
}

}  // namespace kova
