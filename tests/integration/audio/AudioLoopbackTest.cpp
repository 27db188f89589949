// Capture -> UDP audio port -> player over a private PulseAudio: a 440 Hz sine
// source recorded through ALSA "default", GSM-compressed, sent from 127.0.0.1
// to 127.0.0.2 and played into a null sink, whose monitor is recorded back.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <thread>

#include "../../unit/audio/AudioFakes.h"
#include "../../unit/audio/AudioTestSignals.h"
#include "PulseServer.h"
#include "UdpAudioPair.h"
#include "audio/AudioCapture.h"
#include "audio/AudioPlayer.h"
#include "platform/AlsaWaveIn.h"
#include "platform/AlsaWaveOut.h"
#include "platform/AudioCodecLibav.h"

namespace kova {
namespace {

using namespace kova::test;

// Records an ALSA PCM on its own thread until stopped.
class Recorder {
public:
    explicit Recorder(const char* pcm) { device_.setPcmName(pcm); }
    bool start() {
        const auto f = WaveFormat::pcm(8000, 16, 1);
        if (!device_.open(0, f, 160, 5)) {
            return false;
        }
        buffers_.resize(5);
        for (auto& b : buffers_) {
            b.data.resize(160);
            device_.addBuffer(&b);
        }
        if (!device_.start()) {
            return false;
        }
        thread_ = std::thread([this] {
            while (WaveInBuffer* b = device_.waitBuffer()) {
                if (stop_) {
                    continue;
                }
                pcm_.insert(pcm_.end(), b->data.begin(), b->data.begin() + b->recorded);
                device_.addBuffer(b);
            }
        });
        return true;
    }
    std::vector<std::byte> finish() {
        stop_ = true;
        device_.reset();
        if (thread_.joinable()) {
            thread_.join();
        }
        device_.close();
        return pcm_;
    }

private:
    AlsaWaveIn device_;
    std::vector<WaveInBuffer> buffers_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::vector<std::byte> pcm_;
};

TEST(AudioLoopback, SineCapturedSentAndPlayedArrivesAtTheSink) {
    PulseServer pulse;
    QString why;
    if (!pulse.start(&why)) {
        GTEST_SKIP() << "SKIPPED: " << why.toStdString();
    }
    UdpFrameSender sender;
    UdpFrameReceiver receiver;
    ASSERT_TRUE(sender.ok() && receiver.ok()) << "cannot bind 127.0.0.1/127.0.0.2:6324";

    AudioCodecLibav codecs;
    FakeBalloons balloons;
    FakePrompt prompt;
    FakeChooser chooser;
    AlsaWaveIn mic;
    CAudioCapture capture(mic, codecs, balloons, prompt, chooser);
    capture.setMediaSocket(&sender);
    const QStringList devices = capture.deviceList();
    ASSERT_FALSE(devices.isEmpty());
    EXPECT_EQ(devices[0], "default");
    // An index past the device list cannot be opened, and says so.
    capture.setDeviceIndex(static_cast<int>(devices.size()));
    capture.Start();
    EXPECT_FALSE(capture.isRunning());
    EXPECT_EQ(balloons.all(), QStringList{"Not possible to open record device"});
    balloons.texts.clear();
    capture.setDeviceIndex(0);

    AlsaWaveOut speaker;
    CAudioPlayer player(speaker, codecs, balloons);
    const auto gsm = WaveFormat::defaultDestination();
    player.SetPeerFormat(gsm.toArea(), CAudioPlayer::periodFor(50),
                         CAudioPlayer::slotCapacityFor(gsm, 50), nullptr);
    ASSERT_EQ(player.OpenDevice(), 0) << balloons.all().join('|').toStdString();

    Recorder sink("kova_monitor");
    ASSERT_TRUE(sink.start());
    capture.Start();
    ASSERT_TRUE(capture.isRunning()) << balloons.all().join('|').toStdString();

    int frames = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        receiver.receive(50, [&](ByteSpan f, int seq) {
            player.PutFrame(f, seq);
            ++frames;
        });
    }
    capture.Stop();
    QThread::msleep(300);
    player.CloseDevice();
    const auto recorded = samplesOf(sink.finish());

    EXPECT_TRUE(balloons.all().isEmpty()) << balloons.all().join('|').toStdString();
    // One 65-byte GSM block per 40 ms.
    EXPECT_GT(frames, 50);
    ASSERT_GT(recorded.size(), 8000u);
    // The monitor starts about two seconds late (the null sink's initial
    // latency); the last two seconds are past start-up and before the end.
    const std::vector<double> tail(recorded.end() - 16000, recorded.end() - 2000);
    EXPECT_GT(rms(tail), 500.0);
    EXPECT_NEAR(dominantHz(tail), 440, 10);
    std::printf("frames %d, sink rms %.0f, dominant %.0f Hz, drops %llu/%llu, underruns %llu\n",
                frames, rms(tail), dominantHz(tail),
                static_cast<unsigned long long>(player.queue().droppedFrames()),
                static_cast<unsigned long long>(player.headerDrops()),
                static_cast<unsigned long long>(speaker.underruns()));
}

}  // namespace
}  // namespace kova
