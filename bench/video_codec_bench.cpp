// Per-frame cost of each offered encoder and its decoder at 320x240, 640x480
// and 1280x720, colour conversion included, on moving Test Pattern frames, with
// one codec thread and with the program's slice threads ("/t<n>"); "bytes" is
// the compressed size per frame. BM_Draw is the drawing control's share of a
// shown picture (conversion to the screen's layout, unscaled).
//
//   video_codec_bench --dump-raw=FILE --size=WxH --frames=N
// writes the same raw frames (top-down BGR24) for bench/video_ffmpeg_compare.sh.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <QApplication>
#include <QFile>
#include <cstring>
#include <string>

#include "platform/VideoCodecFfmpeg.h"
#include "video/ShowWnd.h"
#include "video/TestPatternSource.h"
#include "video/VideoCodec.h"

namespace {

using namespace kova;

constexpr int kSequence = 30;  // one second of frames, cycled

// CPU of the whole process, codec threads included (the benchmark's own CPU
// time counts only its thread).
double processCpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

std::vector<std::vector<std::byte>> patternFrames(const BitmapInfoHeader& f) {
    std::vector<std::vector<std::byte>> frames;
    for (int n = 0; n < kSequence; ++n) {
        frames.emplace_back(dibFrameSizeOf(f));
        CTestPatternSource::render(static_cast<std::uint32_t>(n), f, frames.back());
    }
    return frames;
}

void encode(benchmark::State& state, std::uint32_t fourCC, int w, int h, int threads) {
    CFfmpegVideoCodecProvider codecs(threads);
    const BitmapInfoHeader raw = rgbFormat(w, h);
    auto frames = patternFrames(raw);
    CVideoCodec encoder(codecs, nullptr);
    if (!encoder.SetUp(fourCC, raw, true, false)) {
        state.SkipWithError("no encoder");
        return;
    }
    std::vector<std::byte> out(dibFrameSizeOf(raw));
    std::size_t n = 0, bytes = 0, frameIndex = 0;
    const double cpu = processCpuMs();
    for (auto _ : state) {
        std::size_t length = 0;
        // The sender compresses in place of the capture buffer; a copy keeps the
        // source frames intact and is part of what a real frame costs anyway.
        if (!encoder.Compress(false, frames[frameIndex], out, length)) {
            state.SkipWithError("compress failed");
            return;
        }
        frameIndex = (frameIndex + 1) % kSequence;
        bytes += length;
        ++n;
    }
    state.counters["bytes"] = static_cast<double>(bytes) / static_cast<double>(n);
    state.counters["cpu_ms"] = (processCpuMs() - cpu) / static_cast<double>(n);
}

void decode(benchmark::State& state, std::uint32_t fourCC, int w, int h, int threads) {
    CFfmpegVideoCodecProvider codecs(threads);
    const BitmapInfoHeader raw = rgbFormat(w, h);
    auto frames = patternFrames(raw);
    CVideoCodec encoder(codecs, nullptr);
    if (!encoder.SetUp(fourCC, raw, true, false)) {
        state.SkipWithError("no encoder");
        return;
    }
    std::vector<std::vector<std::byte>> packets;
    std::vector<std::byte> out(dibFrameSizeOf(raw));
    for (auto& f : frames) {
        std::size_t length = 0;
        encoder.Compress(false, f, out, length);
        packets.emplace_back(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(length));
    }
    CVideoCodec decoder(codecs, nullptr);
    if (!decoder.SetUp(0, encoder.OutputFormat(), false, false)) {
        state.SkipWithError("no decoder");
        return;
    }
    std::vector<std::byte> picture(decoder.OutputImageSize());
    std::size_t frameIndex = 0;
    const double cpu = processCpuMs();
    for (auto _ : state) {
        if (!decoder.Decompress(packets[frameIndex], picture)) {
            state.SkipWithError("decompress failed");
            return;
        }
        frameIndex = (frameIndex + 1) % kSequence;
    }
    state.counters["cpu_ms"] =
        (processCpuMs() - cpu) / static_cast<double>(std::max<std::int64_t>(state.iterations(), 1));
}

void draw(benchmark::State& state, int w, int h) {
    const BitmapInfoHeader raw = rgbFormat(w, h);
    auto frames = patternFrames(raw);
    CShowWnd view;
    view.SetFormat(raw);
    view.OpenDrawing();
    std::size_t frameIndex = 0;
    for (auto _ : state) {
        view.Draw(frames[frameIndex]);
        frameIndex = (frameIndex + 1) % kSequence;
    }
}

bool dumpRaw(int argc, char** argv) {
    QString path;
    int w = 320, h = 240, frames = 120;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--dump-raw=", 0) == 0) {
            path = QString::fromStdString(a.substr(11));
        } else if (a.rfind("--size=", 0) == 0) {
            std::sscanf(a.c_str() + 7, "%dx%d", &w, &h);
        } else if (a.rfind("--frames=", 0) == 0) {
            frames = std::stoi(a.substr(9));
        }
    }
    if (path.isEmpty()) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return true;
    }
    const BitmapInfoHeader f = rgbFormat(w, h);
    std::vector<std::byte> dib(dibFrameSizeOf(f));
    const auto stride = static_cast<std::size_t>(dibStrideOf(f));
    for (int n = 0; n < frames; ++n) {
        CTestPatternSource::render(static_cast<std::uint32_t>(n % kSequence), f, dib);
        for (int y = h - 1; y >= 0; --y) {
            file.write(reinterpret_cast<const char*>(dib.data() + stride * y), w * 3);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (dumpRaw(argc, argv)) {
        return 0;
    }
    // The drawing control needs a widget application; no screen is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr std::pair<int, int> kSizes[] = {{320, 240}, {640, 480}, {1280, 720}};
    const int threads = CFfmpegVideoCodecProvider::defaultThreads();
    for (const VideoCodecInfo& info : CFfmpegVideoCodecProvider().encoders()) {
        for (auto [w, h] : kSizes) {
            for (int t : {1, threads}) {
                const std::string suffix = info.shortName.toStdString() + "/" + std::to_string(w) +
                                           "x" + std::to_string(h) + "/t" + std::to_string(t);
                benchmark::RegisterBenchmark(("BM_Encode/" + suffix).c_str(), encode, info.fourCC,
                                             w, h, t)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
                benchmark::RegisterBenchmark(("BM_Decode/" + suffix).c_str(), decode, info.fourCC,
                                             w, h, t)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
                if (threads == 1) {
                    break;
                }
            }
        }
    }
    for (auto [w, h] : kSizes) {
        benchmark::RegisterBenchmark(
            ("BM_Draw/" + std::to_string(w) + "x" + std::to_string(h)).c_str(), draw, w, h)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
