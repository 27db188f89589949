// Cost of the audio codecs per second of 8000 Hz mono audio, for each format
// the chooser offers: encode on the capture side, decode on the playing side.
// One iteration is one second of audio, so 10 us per iteration is 0.001 % of
// a core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "platform/AudioCodecLibav.h"
#include "platform/AudioCodecs.h"

namespace {

using kova::WaveFormat;

const WaveFormat kPcm = WaveFormat::pcm(8000, 16, 1);

std::vector<std::byte> oneSecondOfSine() {
    std::vector<std::byte> out(16000);
    for (std::size_t i = 0; i < 8000; ++i) {
        const auto v = static_cast<std::int16_t>(
            8000 * std::sin(2 * std::numbers::pi * 440 * double(i) / 8000));
        kova::writeLe(out, i * 2, v);
    }
    return out;
}

WaveFormat formatAt(int i) {
    static kova::AudioCodecLibav codecs;
    return codecs.formatsFrom(kPcm).at(static_cast<std::size_t>(i));
}

// One second in the buffer length's chunks (50 ms: 800 bytes), as capture converts it.
void BM_Encode(benchmark::State& state) {
    kova::AudioCodecLibav codecs;
    const WaveFormat f = formatAt(static_cast<int>(state.range(0)));
    state.SetLabel(codecs.tagName(f.formatTag).toStdString() + " " +
                   std::to_string(f.bitsPerSample) + " bit");
    auto enc = codecs.openStream(kPcm, f);
    const auto pcm = oneSecondOfSine();
    std::vector<std::byte> out(*enc->destinationSize(800));
    for (auto _ : state) {
        std::size_t at = 0;
        std::vector<std::byte> carry;
        while (at < pcm.size()) {
            carry.insert(carry.end(), pcm.begin() + at, pcm.begin() + at + 800);
            at += 800;
            const auto r = enc->convert(carry, out, kova::kConvertBlockAlign);
            carry.erase(carry.begin(), carry.begin() + r.used);
            benchmark::DoNotOptimize(out.data());
        }
    }
}

void BM_Decode(benchmark::State& state) {
    kova::AudioCodecLibav codecs;
    const WaveFormat f = formatAt(static_cast<int>(state.range(0)));
    state.SetLabel(codecs.tagName(f.formatTag).toStdString() + " " +
                   std::to_string(f.bitsPerSample) + " bit");
    auto enc = codecs.openStream(kPcm, f);
    auto dec = codecs.openStream(f, kPcm);
    const auto pcm = oneSecondOfSine();
    std::vector<std::byte> coded(*enc->destinationSize(16000));
    coded.resize(enc->convert(pcm, coded, kova::kConvertEnd).produced);
    std::vector<std::byte> out(*dec->destinationSize(static_cast<std::uint32_t>(coded.size())));
    for (auto _ : state) {
        // Frame by frame, as the player decodes: one buffer length of blocks each.
        const std::size_t frame = std::max<std::size_t>(
            f.blockAlign, f.avgBytesPerSec / 20 / f.blockAlign * f.blockAlign);
        for (std::size_t at = 0; at < coded.size(); at += frame) {
            const auto n = std::min(frame, coded.size() - at);
            dec->convert(kova::ByteSpan(coded).subspan(at, n), out, kova::kConvertBlockAlign);
        }
        benchmark::DoNotOptimize(out.data());
    }
}

BENCHMARK(BM_Encode)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Decode)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
