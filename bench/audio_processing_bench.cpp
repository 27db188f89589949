// Cost and added delay of our own audio processing at 8000 Hz. Cost: one far
// block and one near block per iteration through the capture's stage with the
// WebRTC processor (core_percent: the time per block over the 10 ms it lasts). Delay: how many
// samples the stage holds back between a buffer coming in and leaving (held_samples, worst case
// over the run), and the lag of the highest cross-correlation between the input (bursts of noise,
// as syllables come, which noise suppression keeps) and what leaves (lag_samples): together the
// delay the stage adds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "audio/CaptureProcessing.h"
#include "common/ByteIo.h"

namespace {

using namespace kova;

constexpr std::size_t kBlock = IAudioProcessor::kBlockSamples;
using Clock = std::chrono::steady_clock;

std::vector<std::byte> noise(std::size_t samples, unsigned seed, double sigma) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> white(0, sigma);
    std::vector<std::byte> out(samples * 2);
    for (std::size_t i = 0; i < samples; ++i) {
        writeLe<std::int16_t>(out, i * 2,
                              static_cast<std::int16_t>(std::clamp(white(rng), -32768.0, 32767.0)));
    }
    return out;
}

void BM_ProcessBlock(benchmark::State& state) {
    const AudioProcessingSwitches on{state.range(0) != 0, state.range(1) != 0, state.range(2) != 0};
    std::int64_t now = 0;
    CCaptureProcessing stage(makeAudioProcessor, [&now] { return now; });
    stage.setSwitches(on);
    stage.begin(WaveFormat::pcm(8000, 16, 1));
    // Speech-level noise at both ends, the near end carrying an echo of the far.
    const auto far = noise(8000, 1, 3000);
    const auto nearSource = noise(8000, 2, 1000);
    std::vector<std::byte> near(kBlock * 2);
    std::size_t at = 0;
    const auto started = Clock::now();
    for (auto _ : state) {
        now += 10'000;
        stage.reference().write(ByteSpan(far).subspan(at, kBlock * 2), now + 60'000);
        std::copy_n(nearSource.begin() + static_cast<std::ptrdiff_t>(at), near.size(),
                    near.begin());
        stage.process(near.data(), near.size(), [](const std::byte* p, std::size_t n) {
            benchmark::DoNotOptimize(p);
            return n > 0;
        });
        at = (at + kBlock * 2) % far.size();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    // Each iteration is one 10 ms block of sound.
    state.counters["core_percent"] =
        100 * seconds / (0.010 * static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ProcessBlock)
    ->ArgNames({"aec", "ns", "agc"})
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({0, 1, 0})
    ->Args({0, 0, 1})
    ->Args({1, 1, 1})
    ->Unit(benchmark::kMicrosecond);

// Buffers of bufferSamples (80: the default 10 ms recording buffers).
void BM_AddedDelay(benchmark::State& state) {
    const auto bufferSamples = static_cast<std::size_t>(state.range(0));
    constexpr std::size_t kSeconds = 4;
    auto input = noise(8000 * kSeconds, 3, 2000);
    for (std::size_t i = 0; i < input.size() / 2; ++i) {
        if ((i / 1600) % 2 == 1) {
            writeLe<std::int16_t>(input, i * 2, 0);
        }
    }
    std::size_t held = 0;
    int lag = 0;
    for (auto _ : state) {
        std::int64_t now = 0;
        CCaptureProcessing stage(makeAudioProcessor, [&now] { return now; });
        stage.setSwitches({true, true, true});
        stage.begin(WaveFormat::pcm(8000, 16, 1));
        std::vector<std::byte> out;
        std::vector<std::byte> buffer;
        for (std::size_t at = 0; at + bufferSamples * 2 <= input.size(); at += bufferSamples * 2) {
            now += static_cast<std::int64_t>(bufferSamples) * 125;
            buffer.assign(input.begin() + static_cast<std::ptrdiff_t>(at),
                          input.begin() + static_cast<std::ptrdiff_t>(at + bufferSamples * 2));
            stage.process(buffer.data(), buffer.size(), [&](const std::byte* p, std::size_t n) {
                out.insert(out.end(), p, p + n);
                return true;
            });
            held = std::max(held, (at + bufferSamples * 2 - out.size()) / 2);
        }
        // The lag, over the last second (converged), within +-50 ms.
        const std::size_t n = out.size() / 2;
        const std::size_t from = n - 8000;
        double best = -1;
        for (int d = -400; d <= 400; ++d) {
            double sum = 0;
            for (std::size_t i = from; i + 400 < n; ++i) {
                sum += double(readLe<std::int16_t>(input, i * 2)) *
                       readLe<std::int16_t>(
                           out, (static_cast<std::size_t>(static_cast<std::ptrdiff_t>(i) + d)) * 2);
            }
            if (sum > best) {
                best = sum;
                lag = d;
            }
        }
    }
    state.counters["held_samples"] = static_cast<double>(held);
    state.counters["lag_samples"] = lag;
}
BENCHMARK(BM_AddedDelay)->Arg(80)->Arg(160)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
