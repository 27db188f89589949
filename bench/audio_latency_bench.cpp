// Mouth-to-ear latency through real devices: a private PulseAudio plays tone
// bursts into a null sink whose monitor is the recording source; capture
// compresses (GSM 6.10) and sends over UDP 127.0.0.1 -> 127.0.0.2:6324; the
// player plays into a second null sink whose monitor is recorded back. Each
// burst's time at the source and at the sink comes from the wall clock and
// the devices' reported delays. Reports latency, queue and header drops and
// output underruns over KOVA_LATENCY_SECONDS (default 60) per buffer length.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <numbers>
#include <thread>

#include "../tests/integration/audio/PulseServer.h"
#include "../tests/integration/audio/UdpAudioPair.h"
#include "../tests/unit/audio/AudioFakes.h"
#include "audio/AudioCapture.h"
#include "audio/AudioPlayer.h"
#include "platform/AlsaWaveIn.h"
#include "platform/AlsaWaveOut.h"
#include "platform/AudioCodecLibav.h"

namespace {

using namespace kova;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 8000;
constexpr int kBurstEvery = 4000;  // samples: one burst per 500 ms
constexpr int kBurstLength = 160;  // 20 ms of 1 kHz
constexpr int kWarmUpSeconds = 5;  // the monitors start about 2 s late

bool g_pulse = false;

double msSince(Clock::time_point t0, Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - t0).count();
}

int runSeconds() {
    const QByteArray v = qgetenv("KOVA_LATENCY_SECONDS");
    return v.isEmpty() ? 60 : std::max(5, v.toInt());
}

struct Times {
    std::mutex mutex;
    std::vector<double> sent, heard;
    void add(std::vector<double>& v, double t) {
        std::lock_guard lock(mutex);
        v.push_back(t);
    }
};

// Writes silence with tone bursts to the source sink, paced by its delay.
void clickWriter(std::atomic<bool>& stop, Times& times, Clock::time_point t0) {
    AlsaWaveOut out("kova_click");
    if (out.open(WaveFormat::pcm(kRate, 16, 1)) != 0) {
        return;
    }
    std::vector<std::byte> chunk(160);
    std::int64_t pos = 0;
    while (!stop) {
        std::int64_t burstAt = -1;
        for (int i = 0; i < 80; ++i, ++pos) {
            const std::int64_t k = pos % kBurstEvery;
            double v = 0;
            if (k < kBurstLength) {
                v = 16000 * std::sin(2 * std::numbers::pi * 1000 * double(k) / kRate);
                if (k == 0) {
                    burstAt = pos;
                }
            }
            writeLe(chunk, static_cast<std::size_t>(i) * 2, static_cast<std::int16_t>(v));
        }
        out.write(0, chunk);
        const auto now = Clock::now();
        const long delay = out.delayFrames();
        if (burstAt >= 0) {
            // The burst sounds once the frames queued in front of it have played.
            const double ahead = double(delay - (pos - burstAt)) * 1000 / kRate;
            times.add(times.sent, msSince(t0, now) + ahead);
        }
        while (!stop && out.delayFrames() > 480) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    out.close();
}

// Records the sink's monitor and notes when each burst arrived there.
void sinkRecorder(std::atomic<bool>& stop, Times& times, Clock::time_point t0) {
    AlsaWaveIn in;
    in.setPcmName("kova_monitor");
    if (!in.open(0, WaveFormat::pcm(kRate, 16, 1), 160, 5)) {
        return;
    }
    std::vector<WaveInBuffer> buffers(5);
    for (auto& b : buffers) {
        b.data.resize(160);
        in.addBuffer(&b);
    }
    in.start();
    std::int64_t pos = 0;
    std::int64_t quietSince = 0;
    std::thread stopper([&] {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        in.reset();
    });
    while (WaveInBuffer* b = in.waitBuffer()) {
        const auto now = Clock::now();
        const long delay = in.lastDelayFrames();
        const std::int64_t n = static_cast<std::int64_t>(b->recorded / 2);
        for (std::int64_t i = 0; i < n; ++i) {
            const int v = std::abs(readLe<std::int16_t>(b->data, static_cast<std::size_t>(i) * 2));
            const std::int64_t q = pos + i;
            if (v > 3000) {
                if (q - quietSince > 2000) {
                    const double back = double(delay + (pos + n - q)) * 1000 / kRate;
                    times.add(times.heard, msSince(t0, now) - back);
                }
                quietSince = q;
            }
        }
        pos += n;
        if (!stop) {
            in.addBuffer(b);
        }
    }
    stopper.join();
    in.close();
}

void BM_MouthToEar(benchmark::State& state) {
    if (!g_pulse) {
        state.SkipWithError("SKIPPED: no PulseAudio");
        return;
    }
    const auto ms = static_cast<std::uint16_t>(state.range(0));
    for (auto _ : state) {
        AudioCodecLibav codecs;
        test::FakeBalloons balloons;
        test::FakePrompt prompt;
        test::FakeChooser chooser;
        test::UdpFrameSender sender;
        test::UdpFrameReceiver receiver;
        AlsaWaveIn mic;
        CAudioCapture capture(mic, codecs, balloons, prompt, chooser);
        capture.setBufferLength(ms);
        capture.setMediaSocket(&sender);
        AlsaWaveOut speaker;
        CAudioPlayer player(speaker, codecs, balloons);
        const auto gsm = WaveFormat::defaultDestination();
        player.SetPeerFormat(gsm.toArea(), CAudioPlayer::periodFor(ms),
                             CAudioPlayer::slotCapacityFor(gsm, ms), nullptr);
        if (player.OpenDevice() != 0) {
            state.SkipWithError("cannot open the output");
            return;
        }
        Times times;
        std::atomic<bool> stop{false};
        const auto t0 = Clock::now();
        std::thread writer(clickWriter, std::ref(stop), std::ref(times), t0);
        std::thread recorder(sinkRecorder, std::ref(stop), std::ref(times), t0);
        capture.Start();
        const auto warmEnd = t0 + std::chrono::seconds(kWarmUpSeconds);
        const auto end = warmEnd + std::chrono::seconds(runSeconds());
        std::uint64_t drops0 = 0, headerDrops0 = 0, underruns0 = 0, overruns0 = 0;
        bool warm = false;
        int frames = 0;
        while (Clock::now() < end) {
            receiver.receive(20, [&](ByteSpan f, int seq) {
                player.PutFrame(f, seq);
                ++frames;
            });
            if (!warm && Clock::now() >= warmEnd) {
                warm = true;
                drops0 = player.queue().droppedFrames();
                headerDrops0 = player.headerDrops();
                underruns0 = speaker.underruns();
                overruns0 = mic.overruns();
            }
        }
        capture.Stop();
        stop = true;
        writer.join();
        recorder.join();
        player.CloseDevice();

        // Pair each heard burst with the latest sent one before it.
        std::vector<double> latency;
        for (double h : times.heard) {
            if (h < kWarmUpSeconds * 1000.0) {
                continue;
            }
            double best = -1;
            for (double s : times.sent) {
                if (s <= h && h - s < 450) {
                    best = h - s;
                }
            }
            if (best >= 0) {
                latency.push_back(best);
            }
        }
        std::sort(latency.begin(), latency.end());
        const double median = latency.empty() ? -1 : latency[latency.size() / 2];
        const double worst = latency.empty() ? -1 : latency.back();
        state.SetIterationTime(median / 1000.0);
        state.counters["latency_median_ms"] = median;
        state.counters["latency_max_ms"] = worst;
        state.counters["bursts"] = static_cast<double>(latency.size());
        state.counters["frames"] = frames;
        state.counters["queue_drops"] = double(player.queue().droppedFrames() - drops0);
        state.counters["header_drops"] = double(player.headerDrops() - headerDrops0);
        state.counters["underruns"] = double(speaker.underruns() - underruns0);
        state.counters["capture_overruns"] = double(mic.overruns() - overruns0);
        state.SetLabel(std::to_string(ms) + " ms buffers, GSM 6.10");
    }
}

BENCHMARK(BM_MouthToEar)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    kova::test::PulseServer pulse;
    QString why;
    // Started before anything touches ALSA: its configuration is read once.
    g_pulse = pulse.start(&why, false);
    if (!g_pulse) {
        std::printf("SKIPPED: %s\n", qPrintable(why));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
