#include "media/LinkStatistics.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

struct Clocked {
    std::int64_t now = 0;
    LinkStatistics stats{[this] { return now; }};
};

TEST(LinkStatistics, AudioSequenceGapsAreLostUntilTheFrameComesLate) {
    Clocked c;
    for (int s : {7, 8, 9, 0, 3}) {  // across the wrap; 1 and 2 missing
        c.stats.audioFrame(s);
    }
    c.now = 1000;
    auto f = c.stats.sample({});
    EXPECT_EQ(f.audioReceived, 5);
    EXPECT_EQ(f.audioLost, 2);
    EXPECT_EQ(f.audioLate, 0);
    c.stats.audioFrame(2);  // overtaken by 3: late, not lost any more
    c.stats.audioFrame(3);  // a repeat
    c.stats.audioFrame(4);
    c.now = 2000;
    f = c.stats.sample({});
    EXPECT_EQ(f.audioLate, 2);
    EXPECT_EQ(f.audioLost, 0) << "never below zero";
    c.stats.audioFrame(6);
    c.now = 3000;
    EXPECT_EQ(c.stats.sample({}).audioLost, 1) << "the gap counts once, in its own second";
}

TEST(LinkStatistics, RoundTripIsTheSecondsMedianAndRatesFollowTheTick) {
    Clocked c;
    for (int rtt : {30, 10, 500, 20}) {
        c.stats.pictureSent();
        c.now += rtt;
        c.stats.pictureAcknowledged();
        c.stats.pictureDrawn();
    }
    c.stats.pictureAcknowledged();  // nothing in flight: says nothing
    c.stats.pictureHeldBack();
    c.now = 2000;  // a late tick: two seconds' worth
    LinkStatistics::Totals t;
    t.bytesIn = 4000;
    t.bytesOut = 2000;
    t.strangers = 9;
    auto f = c.stats.sample(t);
    EXPECT_EQ(f.roundTripMs, 30);
    EXPECT_EQ(f.pictures, 2);
    EXPECT_EQ(f.heldBack, 1) << "rounded";
    EXPECT_EQ(f.bytesIn, 2000u);
    EXPECT_EQ(f.bytesOut, 1000u);
    c.now = 3000;
    t.bytesIn = 100;  // a new channel counts from zero
    f = c.stats.sample(t);
    EXPECT_FALSE(f.roundTripMs) << "no ack this second";
    EXPECT_EQ(f.bytesIn, 100u);
    EXPECT_EQ(f.bytesOut, 0u);
    EXPECT_EQ(LinkStatistics::lines(f)[1], "Picture round trip: -");

    c.stats.reset(t);  // next call: strangers so far are not its own
    t.strangers = 12;
    c.now = 4000;
    EXPECT_EQ(c.stats.sample(t).strangersTotal, 3u);
}

TEST(LinkStatistics, MouthToEarAddsTheDeviceToTheQueueAndTheLogNamesEachFigure) {
    Clocked c;
    LinkStatistics::Totals t;
    c.now = 1000;
    EXPECT_FALSE(c.stats.sample(t).mouthToEarMs) << "no audio";
    t.queueMs = 40;
    t.deviceMs = 55;
    t.playerDrops = 3;
    c.now = 2000;
    const auto f = c.stats.sample(t);
    EXPECT_EQ(f.mouthToEarMs, 95);
    EXPECT_EQ(f.playerDrops, 3);
    EXPECT_EQ(LinkStatistics::logLine(f),
              "pictures=0 round_trip_ms=- held_back=0 audio_received=0 audio_lost=0 "
              "audio_late=0 player_drops=3 ran_dry=0 queue_ms=40 mouth_to_ear_ms=95 "
              "bytes_in=0 bytes_out=0 strangers=0");
}

}  // namespace
}  // namespace kova
