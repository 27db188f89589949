#include "audio/AudioPlayer.h"

#include <gtest/gtest.h>

#include <map>

#include "AudioFakes.h"
#include "AudioTestSignals.h"
#include "platform/AudioCodecStream.h"

namespace kova {
namespace {

using namespace kova::test;

struct PlayerRig {
    FakeWaveOut out;
    AudioCodecLibav codecs;
    FakeBalloons balloons;
    SimClock clock;
    FakeIndicator indicator;
    CAudioPlayer player{out, codecs, balloons, &clock};
    PlayerRig() { player.setPlayoutThread(false); }

    void configure(const WaveFormat& f, std::uint16_t ms = 50) {
        player.SetPeerFormat(f.toArea(), CAudioPlayer::periodFor(ms),
                             CAudioPlayer::slotCapacityFor(f, ms), &indicator);
    }
};

TEST(AudioPlayer, ConfiguresFromThePeersFormat) {
    PlayerRig rig;
    const auto gsm = WaveFormat::defaultDestination();
    rig.configure(gsm);
    EXPECT_EQ(rig.player.FormatName(), "GSM 6.10");
    // max(1625 bytes/s, 65 x 400 samples) for 50 ms of GSM
    EXPECT_EQ(CAudioPlayer::slotCapacityFor(gsm, 50), 26000u);
    EXPECT_EQ(CAudioPlayer::slotCapacityFor(WaveFormat::pcm(8000, 16, 1), 50), 16000u);
    EXPECT_EQ(CAudioPlayer::periodFor(5), 10);
    EXPECT_EQ(rig.player.queue().period(), 50);
    EXPECT_TRUE(CAudioPlayer::canPlay(rig.codecs, rig.out, gsm));
    rig.out.queryResult = 32;
    EXPECT_FALSE(CAudioPlayer::canPlay(rig.codecs, rig.out, gsm));
    // A null or empty format changes nothing.
    rig.player.SetPeerFormat({}, 10, 1, nullptr);
    EXPECT_EQ(rig.player.FormatName(), "GSM 6.10");
}

TEST(AudioPlayer, DecodesCompressedFramesToPcmBeforeTheDevice) {
    PlayerRig rig;
    rig.configure(WaveFormat::defaultDestination());
    ASSERT_EQ(rig.player.OpenDevice(), 0);
    EXPECT_EQ(rig.out.openedFormat, WaveFormat::pcm(8000, 16, 1));

    AudioCodecLibav codecs;
    auto enc = codecs.openStream(WaveFormat::pcm(8000, 16, 1), WaveFormat::defaultDestination());
    const auto pcm = sinePcm(440, 640);
    std::vector<std::byte> gsm(130);
    ASSERT_EQ(enc->convert(pcm, gsm, kConvertBlockAlign).produced, 130u);
    rig.player.Write(gsm);
    ASSERT_EQ(rig.out.written.size(), 1u);
    ASSERT_EQ(rig.out.written[0].size(), 1280u);
    EXPECT_EQ(dominantHz(samplesOf(rig.out.written[0])), 440);
    EXPECT_EQ(rig.player.CloseDevice(), 0);
    EXPECT_FALSE(rig.out.opened);
}

TEST(AudioPlayer, IndicatorShowsTheArrivalRate) {
    PlayerRig rig;
    rig.configure(WaveFormat::pcm(8000, 16, 1));
    ASSERT_EQ(rig.player.OpenDevice(), 0);
    const auto f = sinePcm(440, 80);
    rig.player.Write(f);  // same tick as the open
    rig.player.Write(f);  // and again: two writes in one millisecond
    rig.clock.advance(50);
    rig.player.Write(f);
    EXPECT_EQ(rig.indicator.levels, (std::vector<int>{2000, 2000, 40}));
    rig.player.CloseDevice();
}

TEST(AudioPlayer, VolumeZeroIsRaisedOtherVolumesStay) {
    {
        PlayerRig rig;
        rig.out.vol = 0;
        rig.configure(WaveFormat::pcm(8000, 16, 1));
        rig.player.OpenDevice();
        EXPECT_EQ(rig.out.vol, 0x00007FFFu);
        rig.player.CloseDevice();
    }
    {
        PlayerRig rig;
        rig.out.vol = 0x12345678;
        rig.configure(WaveFormat::pcm(8000, 16, 1));
        rig.player.OpenDevice();
        EXPECT_EQ(rig.out.volumeSets, 0);
        rig.player.CloseDevice();
    }
}

TEST(AudioPlayer, FailuresShowTheirTexts) {
    {
        PlayerRig rig;
        WaveFormat mp3 = WaveFormat::defaultDestination();
        mp3.formatTag = 0x0055;
        rig.configure(mp3);
        EXPECT_NE(rig.player.OpenDevice(), 0);
        EXPECT_EQ(rig.balloons.all(), QStringList{"Audio format isn't supported!"});
        EXPECT_FALSE(rig.player.isOpen());
    }
    {
        PlayerRig rig;
        rig.out.queryResult = 32;
        rig.configure(WaveFormat::defaultDestination());
        EXPECT_EQ(rig.player.OpenDevice(), 32);
        EXPECT_EQ(rig.balloons.all(), QStringList{"Audio format isn't supported!"});
    }
    {
        PlayerRig rig;
        rig.out.openResult = 4;
        rig.configure(WaveFormat::defaultDestination());
        EXPECT_EQ(rig.player.OpenDevice(), 4);
        EXPECT_EQ(rig.balloons.all(), QStringList{"Error open Audio device"});
        EXPECT_EQ(rig.player.CloseDevice(), 0);  // never opened: nothing to close
    }
    {
        PlayerRig rig;
        rig.configure(WaveFormat::defaultDestination());
        ASSERT_EQ(rig.player.OpenDevice(), 0);
        rig.out.resetResult = 1;
        rig.out.closeResult = 5;
        EXPECT_EQ(rig.player.CloseDevice(), 5);
        EXPECT_EQ(rig.balloons.all(),
                  QStringList({"Error stop audio.", "Error close audio device."}));
    }
}

TEST(AudioPlayer, FrameIsDroppedWhenNoHeaderIsFinished) {
    PlayerRig rig;
    rig.out.holdHeaders = true;  // the device never finishes a header
    rig.configure(WaveFormat::pcm(8000, 16, 1));
    ASSERT_EQ(rig.player.OpenDevice(), 0);
    const auto f = sinePcm(440, 80);
    for (int i = 0; i < 7; ++i) {
        rig.player.Write(f);
    }
    EXPECT_EQ(rig.out.written.size(), 5u);
    EXPECT_EQ(rig.player.headerDrops(), 2u);
    // Headers are taken round the ring from the one after the write position.
    EXPECT_EQ(rig.out.headersUsed, (std::vector<int>{1, 2, 3, 4, 0}));
    rig.player.CloseDevice();
}

TEST(AudioPlayer, ChannelFramesReachTheDeviceThroughThePlayoutThread) {
    FakeWaveOut out;
    AudioCodecLibav codecs;
    FakeBalloons balloons;
    CAudioPlayer player(out, codecs, balloons);  // the real clock and thread
    const auto pcm = WaveFormat::pcm(8000, 16, 1);
    player.SetPeerFormat(pcm.toArea(), 10, 1600, nullptr);
    ASSERT_EQ(player.OpenDevice(), 0);
    for (int s = 1; s <= 3; ++s) {
        auto f = sinePcm(440, 80, 8000, 8000, 80 * s);
        player.onMediaFrame(MediaFrame{static_cast<std::uint8_t>(s), MediaSource::Audio, f});
    }
    // Give the playout thread its time; no timing is asserted.
    for (int i = 0; i < 500 && out.count() < 3; ++i) {
        QThread::msleep(2);
    }
    EXPECT_EQ(player.CloseDevice(), 0);
    EXPECT_EQ(out.count(), 3u);
}

// A device that plays in simulated time: what was written drains at 8000
// frames a second, and running dry while playing is an underrun. Each frame
// carries its number + 1 in every sample, so when its first sample is heard
// can be read back past any silence in front.
class DrainingWaveOut : public FakeWaveOut {
public:
    explicit DrainingWaveOut(SimClock& c) : clock(c) {}
    std::optional<std::uint32_t> queuedFrames() override { return update(); }
    int write(int h, ByteSpan pcm) override {
        const std::uint32_t before = update();
        std::size_t lead = 0;
        while (lead + 2 <= pcm.size() && readLe<std::int16_t>(pcm, lead) == 0) {
            lead += 2;
        }
        if (lead + 2 <= pcm.size()) {
            const int n = readLe<std::int16_t>(pcm, lead) - 1;
            heard[n] = clock.now + (before + lead / 2) / 8.0;
        }
        queued += pcm.size() / 2;
        playing = true;
        return FakeWaveOut::write(h, pcm);
    }
    std::uint32_t update() {
        const std::uint64_t played = std::uint64_t{clock.now - since} * 8;
        since = clock.now;
        if (played > queued && playing) {
            ++underruns;
            playing = false;
        }
        queued -= std::min(played, queued);
        return static_cast<std::uint32_t>(queued);
    }
    SimClock& clock;
    std::uint64_t queued = 0;
    std::uint32_t since = 1000;
    bool playing = false;
    int underruns = 0;
    std::map<int, double> heard;  // frame number -> ms
};

struct Steered {
    int underruns = 0;
    double low = 1e9, high = 0;  // mouth-to-ear in the last 10 s
};

// 40 ms frames sent at the end of 50 ms capture buffers, as GSM 6.10 at the
// default buffer length; stalledUntil holds back the call's first frames
// and delivers them together, as a slow path at call set-up does.
Steered steerCall(std::uint32_t stalledUntil) {
    SimClock clock;
    DrainingWaveOut out(clock);
    AudioCodecLibav codecs;
    FakeBalloons balloons;
    CAudioPlayer player(out, codecs, balloons, &clock);
    player.setPlayoutThread(false);
    const auto pcm = WaveFormat::pcm(8000, 16, 1);
    player.SetPeerFormat(pcm.toArea(), 50, 16000, nullptr);
    EXPECT_EQ(player.OpenDevice(), 0);
    constexpr int kFrames = 500;  // 20 s
    for (int n = 0; n < kFrames; ++n) {
        const std::uint32_t sent = std::max((n * 40u + 40 + 49) / 50 * 50, stalledUntil);
        clock.at(1000 + sent, [&player, n] {
            std::vector<std::byte> f(640);
            for (std::size_t i = 0; i < f.size(); i += 2) {
                writeLe<std::int16_t>(f, i, static_cast<std::int16_t>(n + 1));
            }
            player.PutFrame(f, n % 10);
        });
    }
    while (clock.now < 1000 + kFrames * 40) {  // not past the last frame: the device then runs dry
        player.queue().cycle();
    }
    std::uint64_t bytes = 0;
    for (const auto& w : out.written) {
        bytes += w.size();
    }
    EXPECT_EQ(player.framesPlayed(), bytes / 2);
    // What the device held after the last write, of which it has played some since.
    EXPECT_GE(player.deviceLevelMs(), out.update() / 8);
    EXPECT_LE(player.deviceLevelMs(), out.update() / 8 + 80);
    player.CloseDevice();
    Steered s;
    s.underruns = out.underruns;
    for (const auto& [n, at] : out.heard) {
        if (n >= kFrames - 250) {
            const double delay = at - (1000 + n * 40);
            s.low = std::min(s.low, delay);
            s.high = std::max(s.high, delay);
        }
    }
    return s;
}

TEST(AudioPlayer, DeviceLevelFollowsTheJitterWhateverTheCallsStart) {
    const Steered clean = steerCall(0);
    const Steered stalled = steerCall(300);
    for (const Steered& s : {clean, stalled}) {
        // Not even at the start, before the jitter is known.
        EXPECT_EQ(s.underruns, 0);
        // Constant within the call: the 80 ms the latest frames take to be
        // sent, plus the device's margin.
        EXPECT_LE(s.high - s.low, 4.0);
        EXPECT_GE(s.low, 80.0 + CAudioPlayer::kMarginMs - 4);
        EXPECT_LE(s.high, 80.0 + CAudioPlayer::kMarginMs + 6);
    }
    EXPECT_NEAR(clean.high, stalled.high, 5.0);
}

TEST(AudioPlayer, RetimeSpreadsAFrameAndKeepsItsEnds) {
    std::vector<std::byte> in(2 * 2 * 5);  // stereo, 5 frames
    for (int i = 0; i < 5; ++i) {
        writeLe<std::int16_t>(in, i * 4, static_cast<std::int16_t>(i * 100));
        writeLe<std::int16_t>(in, i * 4 + 2, static_cast<std::int16_t>(-i * 100));
    }
    std::vector<std::byte> out(2 * 2 * 9);
    ASSERT_EQ(CAudioPlayer::retime(in, out, 2, 9), out.size());
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(readLe<std::int16_t>(out, k * 4), k * 50);
        EXPECT_EQ(readLe<std::int16_t>(out, k * 4 + 2), -k * 50);
    }
    // Never past the room given.
    EXPECT_EQ(CAudioPlayer::retime(in, std::span(out).first(6), 2, 9), 4u);
}

}  // namespace
}  // namespace kova
