#include "audio/CaptureProcessing.h"

#include <gtest/gtest.h>

#include <QThread>
#include <cmath>

#include "AudioFakes.h"
#include "AudioTestSignals.h"
#include "audio/AudioCapture.h"
#include "audio/EchoTap.h"

namespace kova {
namespace {

using namespace kova::test;

constexpr AudioProcessingSwitches kAllOn{true, true, true};
constexpr std::size_t kBlock = IAudioProcessor::kBlockSamples;

std::vector<std::byte> ramp(std::size_t from, std::size_t samples) {
    std::vector<std::byte> out(samples * 2);
    for (std::size_t i = 0; i < samples; ++i) {
        writeLe<std::int16_t>(out, i * 2, static_cast<std::int16_t>((from + i) % 20000));
    }
    return out;
}

std::vector<std::int16_t> int16Of(ByteSpan pcm) {
    std::vector<std::int16_t> out(pcm.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = readLe<std::int16_t>(pcm, i * 2);
    }
    return out;
}

struct StageRig {
    FakeProcessor::Log log;
    std::int64_t now = 5'000'000;
    CCaptureProcessing stage{[this] { return std::make_unique<FakeProcessor>(log); },
                             [this] { return now; }};
    std::vector<std::byte> out;
    bool push(std::vector<std::byte> bytes) {
        return stage.process(bytes.data(), bytes.size(), [this](const std::byte* p, std::size_t n) {
            out.insert(out.end(), p, p + n);
            return true;
        });
    }
};

TEST(CaptureProcessing, WholeBlocksLeaveAtOnceTailsWaitAndNothingDrifts) {
    StageRig rig;
    rig.stage.setSwitches(kAllOn);
    rig.stage.begin(WaveFormat::pcm(8000, 16, 1));
    ASSERT_TRUE(rig.stage.active());

    // A whole block leaves in the same call: no delay added.
    rig.push(ramp(0, kBlock));
    EXPECT_EQ(rig.out.size(), kBlock * 2);
    // Odd sizes: whatever is short of a block waits, in order, never longer than one block.
    std::size_t in = kBlock;
    for (std::size_t n : {37u, 123u, 240u, 1u, 299u, 60u, 79u, 1u}) {
        rig.push(ramp(in, n));
        in += n;
        EXPECT_EQ(rig.out.size() / 2, in - in % kBlock) << "after " << in << " samples";
    }
    rig.stage.flush([&](const std::byte* p, std::size_t n) {
        rig.out.insert(rig.out.end(), p, p + n);
        return true;
    });
    ASSERT_EQ(rig.out.size() / 2, in);
    const auto got = int16Of(rig.out);
    const auto sent = int16Of(ramp(0, in));
    const std::size_t processed = in - in % kBlock;
    for (std::size_t i = 0; i < in; ++i) {
        // Processed blocks went through the processor once; the flushed tail did not.
        ASSERT_EQ(got[i], sent[i] + (i < processed ? 1 : 0)) << "sample " << i;
    }
    EXPECT_EQ(rig.log.nearBlocks, processed / kBlock);
    EXPECT_EQ(rig.log.switches, std::vector<AudioProcessingSwitches>{kAllOn});
}

TEST(CaptureProcessing, OffOrAnotherSourcePassesTheBytesUntouched) {
    StageRig rig;
    rig.stage.begin(WaveFormat::pcm(8000, 16, 1));
    rig.push(ramp(0, 123));
    EXPECT_EQ(rig.out, ramp(0, 123));
    EXPECT_EQ(rig.log.nearBlocks, 0u);

    // Switched on mid-stream and off again: a waiting tail goes out first, as recorded.
    rig.out.clear();
    rig.stage.setSwitches({false, true, false});
    rig.push(ramp(0, 100));
    rig.stage.setSwitches({});
    rig.push(ramp(100, 50));
    const auto got = int16Of(rig.out);
    ASSERT_EQ(got.size(), 150u);
    EXPECT_EQ(got[79], 79 + 1);
    EXPECT_EQ(got[80], 80);
    EXPECT_EQ(got[149], 149);

    rig.stage.setSwitches(kAllOn);
    rig.stage.begin(WaveFormat::pcm(16000, 16, 1));
    EXPECT_FALSE(rig.stage.active());
    rig.out.clear();
    rig.push(ramp(0, 160));
    EXPECT_EQ(rig.out, ramp(0, 160));
}

TEST(CaptureProcessing, CaptureSendsTheDevicesBytesWhenAllIsOffAndTheProcessedOnesWhenOn) {
    for (const bool on : {false, true}) {
        FakeWaveIn device;
        RecordingCodecs codecs;
        FakeBalloons balloons;
        FakePrompt prompt;
        FakeChooser chooser;
        FakeSink sink;
        CAudioCapture capture(device, codecs, balloons, prompt, chooser);
        capture.setMediaSocket(&sink);
        std::array<std::byte, 18> pcmArea{};
        capture.setDestinationFormat(pcmArea);
        FakeProcessor::Log log;
        if (on) {
            capture.setProcessorFactory([&log] { return std::make_unique<FakeProcessor>(log); });
        }
        // Off with the real processor in place: it must not touch a single bit.
        capture.setProcessing(on ? kAllOn : AudioProcessingSwitches{});
        capture.Start();
        ASSERT_TRUE(capture.isRunning());
        const auto pcm = sinePcm(440, 400);
        device.feed(pcm);
        while (sink.all().empty()) {
            QThread::msleep(1);
        }
        capture.Stop();
        const auto frame = sink.all()[0];
        ASSERT_EQ(frame.size(), 800u + 4);
        auto expected = int16Of(pcm);
        if (on) {
            for (auto& s : expected) {
                ++s;
            }
        }
        EXPECT_EQ(int16Of(ByteSpan(frame).subspan(4)), expected) << "on " << on;
    }
}

TEST(EchoReference, BlocksKeepOrderAndRenderTimesAndAFullRingDropsTheNewest) {
    CEchoReference ref;
    ref.write(ramp(0, 200), 1'000'000);
    ref.write(ramp(200, 50), 2'000'000);  // completes the third block
    ASSERT_EQ(ref.available(), 3u);
    for (std::int64_t k = 0; k < 3; ++k) {
        const auto* b = ref.front();
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->samples[0], k * 80);
        EXPECT_EQ(b->renderUs, 1'000'000 + k * 10'000);
        ref.pop();
    }
    EXPECT_EQ(ref.front(), nullptr);

    ref.restart();  // the 10 waiting samples are forgotten
    ref.write(ramp(0, 80 * (CEchoReference::kBlocks + 3)), 0);
    EXPECT_EQ(ref.available(), CEchoReference::kBlocks);
    EXPECT_EQ(ref.dropped(), 3u);
    EXPECT_EQ(ref.front()->samples[0], 0);
    ref.clear();
    EXPECT_EQ(ref.available(), 0u);
}

TEST(EchoReference, TapStampsWhatTheDevicePlaysAndTheStageTakesItBeforeTheEcho) {
    StageRig rig;
    rig.stage.setSwitches(kAllOn);
    rig.stage.begin(WaveFormat::pcm(8000, 16, 1));
    rig.push(ramp(0, 80));  // applies the switches, which forgets an old reference
    rig.log = {};
    auto device = std::make_unique<FakeWaveOut>();
    FakeWaveOut* inner = device.get();
    long held = 800;  // frames queued in the device after the write
    CEchoTapWaveOut tap(
        std::move(device), rig.stage.reference(), [&held] { return held; },
        [&rig] { return rig.now; });

    ASSERT_EQ(tap.open(WaveFormat::pcm(16000, 16, 1)), 0);
    tap.write(0, ramp(0, 320));
    EXPECT_EQ(rig.stage.reference().available(), 0u) << "a format the processor cannot take";

    tap.open(WaveFormat::pcm(8000, 16, 1));
    tap.write(1, ramp(0, 320));
    EXPECT_EQ(inner->count(), 2u);
    ASSERT_EQ(rig.stage.reference().available(), 4u);
    // 800 held, 320 of them this frame: its first sample plays 480 samples from now.
    EXPECT_EQ(rig.stage.reference().front()->renderUs, rig.now + 60'000);

    rig.push(ramp(0, 80));
    // All four far blocks before the near one; the newest plays 90 ms from now,
    // the near block began 10 ms ago.
    EXPECT_EQ(rig.log.farFirst, (std::vector<std::int16_t>{0, 80, 160, 240}));
    EXPECT_EQ(rig.log.delays, std::vector<int>{100});
    EXPECT_EQ(rig.stage.reference().available(), 0u);
}

// The real processor behind the stage, fed synthetic 10 ms blocks in step
// with a simulated clock; the loudspeaker plays each far block 60 ms after it.
struct WebRtcRig {
    using Signal = std::function<double(std::size_t)>;
    std::int64_t now = 1'000'000;
    CCaptureProcessing stage{makeAudioProcessor, [this] { return now; }};
    std::size_t t = 0;

    explicit WebRtcRig(const AudioProcessingSwitches& on) {
        stage.setSwitches(on);
        stage.begin(WaveFormat::pcm(8000, 16, 1));
    }
    static std::vector<std::byte> block(const Signal& x, std::size_t from) {
        std::vector<std::byte> out(kBlock * 2);
        for (std::size_t i = 0; i < kBlock; ++i) {
            writeLe<std::int16_t>(
                out, i * 2, static_cast<std::int16_t>(std::clamp(x(from + i), -32768.0, 32767.0)));
        }
        return out;
    }
    // rms of what leaves the stage over the last `lastBlocks` of `blocks`;
    // far null: the peer sends nothing (the loudspeaker runs dry).
    double run(std::size_t blocks, std::size_t lastBlocks, const Signal& near, const Signal* far) {
        double sum = 0;
        for (std::size_t b = 0; b < blocks; ++b, t += kBlock) {
            now += 10'000;
            if (far != nullptr) {
                stage.reference().write(block(*far, t), now + 60'000);
            }
            auto bytes = block(near, t);
            stage.process(bytes.data(), bytes.size(), [&](const std::byte* p, std::size_t n) {
                if (b + lastBlocks >= blocks) {
                    for (double v : samplesOf(ByteSpan(p, n))) {
                        sum += v * v;
                    }
                }
                return true;
            });
        }
        return std::sqrt(sum / double(lastBlocks * kBlock));
    }
};

double tone(double hz, double amplitude, std::size_t i) {
    return amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / 8000);
}

TEST(WebRtcProcessor, SilenceClippingAndLongUnderrunsNeitherBlowUpNorMute) {
    WebRtcRig rig(kAllOn);
    ASSERT_TRUE(rig.stage.active());
    const WebRtcRig::Signal silence = [](std::size_t) { return 0.0; };
    const WebRtcRig::Signal clipped = [](std::size_t i) { return tone(300, 60000, i); };
    const WebRtcRig::Signal speech = [](std::size_t i) { return tone(440, 3000, i); };
    // Three seconds of digital silence at both ends stay silent.
    EXPECT_LT(rig.run(300, 100, silence, &silence), 1.0);
    // Two seconds of clipped sound at both ends: bounded, and the stage goes on.
    rig.run(200, 100, clipped, &clipped);
    // Then the peer's sound stops for ten seconds while we speak: within two
    // seconds our voice comes through, and it stays. (Noise suppression takes
    // a steady tone down by about 20 dB, so the bar is low but far from mute.)
    const double early = rig.run(200, 50, speech, nullptr);
    const double late = rig.run(800, 100, speech, nullptr);
    EXPECT_GT(early, 100.0) << "still muted after 2 s";
    EXPECT_GT(late, 100.0);
    EXPECT_GT(rig.stage.nearBlocks(), 1400u);
}

}  // namespace
}  // namespace kova
