#include "audio/AudioPlayer.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kova
