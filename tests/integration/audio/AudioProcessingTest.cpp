// Our own audio processing over a private PulseAudio, in one process: the
// real player plays the peer's sound into the loudspeaker (a null sink), a
// PulseAudio loopback carries it with 60 ms latency, 9 dB down, into the microphone (the
// monitor of another null sink), the real capture records, processes and
// hands PCM to the sender. A talker thread plays our own voice (and noise)
// into the microphone. Each case runs with the stage off and on.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <atomic>
#include <random>
#include <thread>

#include "../../unit/audio/AudioFakes.h"
#include "../../unit/audio/AudioTestSignals.h"
#include "PulseServer.h"
#include "audio/AudioCapture.h"
#include "audio/AudioPlayer.h"
#include "audio/EchoTap.h"
#include "platform/AlsaWaveIn.h"
#include "platform/AlsaWaveOut.h"

namespace kova {
namespace {

using namespace kova::test;

constexpr int kRunMs = 7000;
// Convergence and the sound server's start-up before anything is measured.
constexpr std::size_t kMeasuredSamples = 3 * 8000;
constexpr double kFarHz[] = {500, 1230};
constexpr double kNearHz = 700;

double tone(double hz, double amplitude, std::size_t i) {
    return amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / 8000);
}

// Our voice: a tone in 200 ms syllables with pauses, as speech comes.
double syllables(double hz, double amplitude, std::size_t i) {
    return (i / 1600) % 2 == 0 ? tone(hz, amplitude, i) : 0.0;
}

std::vector<std::byte> pcmOf(const std::function<double(std::size_t)>& x, std::size_t from,
                             std::size_t samples) {
    std::vector<std::byte> out(samples * 2);
    for (std::size_t i = 0; i < samples; ++i) {
        writeLe<std::int16_t>(
            out, i * 2, static_cast<std::int16_t>(std::clamp(x(from + i), -32768.0, 32767.0)));
    }
    return out;
}

struct Case {
    bool far = false;    // the peer's two tones from the loudspeaker
    bool near = false;   // our voice
    bool noise = false;  // white noise in the room
};

// One run: what the capture sent, as PCM.
std::vector<double> record(const Case& c, const AudioProcessingSwitches& on) {
    AudioCodecLibav codecs;
    FakeBalloons balloons;
    FakePrompt prompt;
    FakeChooser chooser;
    FakeSink sender;
    AlsaWaveIn mic;
    CAudioCapture capture(mic, codecs, balloons, prompt, chooser);
    capture.setMediaSocket(&sender);
    std::array<std::byte, 18> pcmArea{};
    capture.setDestinationFormat(pcmArea);
    capture.setProcessing(on);

    auto device = std::make_unique<AlsaWaveOut>();
    AlsaWaveOut* alsa = device.get();
    CEchoTapWaveOut speaker(std::move(device), capture.echoReference(),
                            [alsa] { return alsa->delayFrames(); });
    CAudioPlayer player(speaker, codecs, balloons);
    const auto pcm = WaveFormat::pcm(8000, 16, 1);
    player.SetPeerFormat(pcm.toArea(), CAudioPlayer::periodFor(40),
                         CAudioPlayer::slotCapacityFor(pcm, 40), nullptr);
    EXPECT_EQ(player.OpenDevice(), 0);

    std::atomic<bool> stop{false};
    std::thread talker([&] {
        if (!c.near && !c.noise) {
            return;
        }
        AlsaWaveOut room("kova_click");
        if (room.open(pcm) != 0) {
            return;
        }
        std::mt19937 rng(7);
        std::normal_distribution<double> white(0, 700);
        for (std::size_t t = 0; !stop; t += 320) {
            const auto chunk = pcmOf(
                [&](std::size_t i) {
                    return (c.near ? syllables(kNearHz, 4000, i) : 0.0) +
                           (c.noise ? white(rng) : 0.0);
                },
                t, 320);
            room.write(static_cast<int>(t / 320 % IWaveOut::kHeaders), chunk);
        }
        room.reset();
        room.close();
    });

    capture.Start();
    EXPECT_TRUE(capture.isRunning()) << balloons.all().join('|').toStdString();
    QElapsedTimer clock;
    clock.start();
    std::size_t t = 0;
    int sequence = 0;
    while (clock.elapsed() < kRunMs) {
        // The peer's 40 ms frames, as the audio channel would hand them over.
        if (c.far && static_cast<qint64>(t / 8) <= clock.elapsed()) {
            player.PutFrame(pcmOf(
                                [](std::size_t i) {
                                    return tone(kFarHz[0], 6000, i) + tone(kFarHz[1], 3000, i);
                                },
                                t, 320),
                            sequence);
            sequence = (sequence + 1) % CAudioPlayQueue::kSlots;
            t += 320;
        }
        QThread::msleep(5);
    }
    capture.Stop();
    player.CloseDevice();
    stop = true;
    talker.join();
    std::vector<std::byte> sent;
    for (const auto& f : sender.all()) {
        sent.insert(sent.end(), f.begin() + IFrameSink::kHeaderRoom, f.end());
    }
    auto x = samplesOf(sent);
    EXPECT_GT(x.size(), kMeasuredSamples) << balloons.all().join('|').toStdString();
    if (x.size() > kMeasuredSamples) {
        x.erase(x.begin(), x.end() - kMeasuredSamples);
    }
    return x;
}

double db(double power) {
    return 10 * std::log10(std::max(power, 1e-9));
}

double farPower(const std::vector<double>& x) {
    return powerAt(x, kFarHz[0]) + powerAt(x, kFarHz[1]);
}

// Mean power in bins away from every tone: the noise floor.
double noisePower(const std::vector<double>& x) {
    double sum = 0;
    int n = 0;
    for (double hz = 1500; hz < 3800; hz += 37) {
        sum += powerAt(x, hz);
        ++n;
    }
    return sum / n;
}

class AudioProcessingLoop : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!pulse_.start(&why, false)) {
            GTEST_SKIP() << "SKIPPED: " << why.toStdString();
        }
        // The loudspeaker heard by the microphone, 60 ms late.
        QProcess p;
        p.start("pactl",
                {"load-module", "module-loopback", "source=kova_sink.monitor", "sink=src_sink",
                 "latency_msec=60", "source_dont_move=true", "sink_dont_move=true"});
        if (!p.waitForFinished(5000) || p.exitCode() != 0) {
            GTEST_SKIP() << "SKIPPED: no PulseAudio loopback: "
                         << p.readAllStandardError().toStdString();
        }
        // The room takes about 9 dB off (70 % on PulseAudio's cubic scale); the
        // loopback is the only stream so far.
        p.start("pactl", {"list", "short", "sink-inputs"});
        p.waitForFinished(5000);
        const QString input = QString::fromLocal8Bit(p.readAllStandardOutput()).section('\t', 0, 0);
        p.start("pactl", {"set-sink-input-volume", input, "70%"});
        ASSERT_TRUE(p.waitForFinished(5000) && p.exitCode() == 0) << "no loopback stream";
    }
    PulseServer pulse_;
};

constexpr AudioProcessingSwitches kOff{};
constexpr AudioProcessingSwitches kEchoOnly{true, false, false};
constexpr AudioProcessingSwitches kAllOn{true, true, true};

TEST_F(AudioProcessingLoop, EchoOfTheLoudspeakerIsCancelledAndOurVoicePasses) {
    const auto off = record({.far = true}, kOff);
    const auto on = record({.far = true}, kEchoOnly);
    const double erle = db(farPower(off)) - db(farPower(on));
    ASSERT_GT(rms(off), 100.0) << "no echo reached the microphone";

    const auto talkOff = record({.far = true, .near = true}, kOff);
    const auto talkOn = record({.far = true, .near = true}, kEchoOnly);
    const double nearLoss = db(powerAt(talkOff, kNearHz)) - db(powerAt(talkOn, kNearHz));
    const double talkErle = db(farPower(talkOff)) - db(farPower(talkOn));
    std::printf(
        "echo: rms %.0f off, %.1f on, ERLE %.1f dB; double talk: near tone %.1f dB "
        "lower, echo %.1f dB lower\n",
        rms(off), rms(on), erle, nearLoss, talkErle);
    EXPECT_GE(erle, 20.0);
    // The canceller's suppressor at a higher level took 20 dB off our voice here.
    EXPECT_LE(std::abs(nearLoss), 3.0);
}

TEST_F(AudioProcessingLoop, NoiseSuppressionLowersTheNoiseAndKeepsOurVoice) {
    const auto off = record({.near = true, .noise = true}, kOff);
    const auto on = record({.near = true, .noise = true}, {false, true, false});
    const double noiseDrop = db(noisePower(off)) - db(noisePower(on));
    const double voiceLoss = db(powerAt(off, kNearHz)) - db(powerAt(on, kNearHz));
    std::printf("noise: %.1f dB lower, our voice %.1f dB lower\n", noiseDrop, voiceLoss);
    EXPECT_GE(noiseDrop, 10.0);
    EXPECT_LE(std::abs(voiceLoss), 3.0);
}

}  // namespace
}  // namespace kova
