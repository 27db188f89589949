// Video frames of a 640x480 call through the media channel: about 20 KB (a
// compressed frame) and 921,600 bytes (an uncompressed 24-bit image), sent,
// reassembled and delivered between two channels on the loopback network
// (127.0.0.1 and 127.0.0.2, port 6323), one frame in flight as the paced video
// sender has it; and the same without sockets (framer and reassembler only).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <random>
#include <vector>

#include "media/MediaFrame.h"
#include "media/MediaFramer.h"
#include "media/MediaReassembler.h"
#include "media/MediaSocket.h"
#include "platform/UdpSocket.h"

namespace {

constexpr std::uint64_t kFrame640x480 = 640 * 480 * 3;

class Counter : public QObject, public kova::IMediaFrameSink {
public:
    std::size_t frames = 0;
    std::size_t bytes = 0;

    void onMediaFrame(const kova::MediaFrame& frame) override {
        bytes += frame.bytes.size();
        ++frames;
    }
};

std::vector<std::byte> randomBuffer(std::size_t frame) {
    std::mt19937 rng(6323);
    std::vector<std::byte> b(4 + frame);
    for (auto& x : b) {
        x = static_cast<std::byte>(rng());
    }
    return b;
}

void BM_FrameOverLoopback(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    kova::CMediaSocket a(QStringLiteral("127.0.0.1"));
    kova::CMediaSocket b(QStringLiteral("127.0.0.2"));
    Counter atA;
    Counter atB;
    a.Open(&atA, "127.0.0.2", kova::MediaSource::Video, kFrame640x480,
           kova::CMediaSocket::kVideoPort, kova::UdpSocket::kMaxDatagram);
    b.Open(&atB, "127.0.0.1", kova::MediaSource::Video, kFrame640x480,
           kova::CMediaSocket::kVideoPort, kova::UdpSocket::kMaxDatagram);
    if (!a.isOpen() || !b.isOpen()) {
        state.SkipWithError("port 6323 on 127.0.0.1/127.0.0.2 is taken");
        return;
    }
    auto buffer = randomBuffer(size);
    QEventLoop loop;
    for (auto _ : state) {
        const std::size_t before = atB.frames;
        a.SendFrame(buffer);
        while (atB.frames == before) {
            loop.processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    if (atB.bytes != atB.frames * size) {
        state.SkipWithError("a frame arrived damaged");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_FrameOverLoopback)->Arg(20 * 1024)->Arg(kFrame640x480)->UseRealTime();

void BM_FrameInMemory(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    kova::MediaFramer framer;
    framer.setMaxDatagram(kova::UdpSocket::kMaxDatagram);
    kova::MediaReassembler reassembler;
    reassembler.reset(kFrame640x480);
    auto buffer = randomBuffer(size);
    std::size_t delivered = 0;
    for (auto _ : state) {
        framer.sendFrame(buffer, [&](kova::ByteSpan d) {
            if (auto f = reassembler.accept(d)) {
                delivered += f->data.size();
            }
            return true;
        });
    }
    benchmark::DoNotOptimize(delivered);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_FrameInMemory)->Arg(20 * 1024)->Arg(kFrame640x480);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
