#include "audio/AudioPlayQueue.h"

#include <gtest/gtest.h>

#include "audio/JitterEstimate.h"

#include "AudioFakes.h"

namespace kova {
namespace {

using namespace kova::test;

// A frame whose first byte tags it, so the play order can be read back.
std::vector<std::byte> frame(int tag, std::size_t size = 65) {
    std::vector<std::byte> f(size, std::byte{0});
    f[0] = static_cast<std::byte>(tag);
    return f;
}

struct QueueRig {
    SimClock clock;
    FrameLog log;
    CAudioPlayQueue queue{clock};
    explicit QueueRig(int period = 50, std::uint32_t capacity = 1625, std::uint32_t bps = 1625) {
        queue.configure(period, &log, capacity, bps);
    }
    // Plays until nothing more is due, without the thread.
    void drain() {
        while (queue.filledCount() > 0 && queue.playOne()) {
        }
    }
};

TEST(AudioPlayQueue, PlaysInSendingOrderAndSkipsALostFrame) {
    QueueRig rig;
    for (int s : {3, 5, 4}) {
        rig.queue.put(frame(s), s);
    }
    rig.drain();
    EXPECT_EQ(rig.log.tags(), (std::vector<int>{3, 4, 5}));

    // 7 never arrives: after 6 the search finds 8.
    for (int s : {6, 8, 9}) {
        rig.queue.put(frame(s), s);
    }
    rig.drain();
    EXPECT_EQ(rig.log.tags(), (std::vector<int>{3, 4, 5, 6, 8, 9}));
    EXPECT_EQ(rig.queue.readPosition(), 0);
}

TEST(AudioPlayQueue, FirstFrameFixesTheStartEvenAfterAnEmptyCycle) {
    QueueRig rig;
    // The playout thread looks before anything arrived.
    EXPECT_FALSE(rig.queue.playOne());
    EXPECT_EQ(rig.queue.readPosition(), -1);
    rig.queue.put(frame(9), 9);
    rig.queue.put(frame(0), 0);
    EXPECT_EQ(rig.queue.readPosition(), 9);
    rig.drain();
    EXPECT_EQ(rig.log.tags(), (std::vector<int>{9, 0}));
}

TEST(AudioPlayQueue, RefillsAtNineUntilAtMostOneIsLeft) {
    QueueRig rig;
    for (int s = 0; s < 9; ++s) {
        rig.queue.put(frame(s), s);
    }
    EXPECT_EQ(rig.queue.filledCount(), 9);
    rig.queue.put(frame(9), 9);  // dropped: refilling
    EXPECT_TRUE(rig.queue.refilling());
    EXPECT_EQ(rig.queue.filledCount(), 9);
    for (int i = 0; i < 7; ++i) {
        rig.queue.playOne();
        rig.queue.put(frame(100 + i), 9);  // still above one: dropped
    }
    EXPECT_EQ(rig.queue.filledCount(), 2);
    EXPECT_EQ(rig.queue.droppedFrames(), 8u);
    rig.queue.playOne();
    rig.queue.put(frame(200), 9);  // down to one: taken again
    EXPECT_FALSE(rig.queue.refilling());
    EXPECT_EQ(rig.queue.filledCount(), 2);
}

TEST(AudioPlayQueue, FramesAreCutToTheSlotCapacityAndCopied) {
    QueueRig rig(50, 100);
    auto big = frame(1, 300);
    rig.queue.put(big, 1);
    big[0] = std::byte{99};  // the caller's memory is its own again
    rig.drain();
    ASSERT_EQ(rig.log.frames.size(), 1u);
    EXPECT_EQ(rig.log.frames[0].size(), 100u);
    EXPECT_EQ(rig.log.tags()[0], 1);
    rig.queue.put(frame(2), 12);  // not a frame number: ignored
    EXPECT_EQ(rig.queue.filledCount(), 0);
}

TEST(AudioPlayQueue, EmptyQueueWaitsAboutAHundredMillisecondsForTwoFrames) {
    QueueRig rig;
    rig.queue.put(frame(1), 1);
    rig.drain();
    rig.queue.start(false);
    auto t0 = rig.clock.now;
    EXPECT_FALSE(rig.queue.playOne());
    EXPECT_EQ(rig.clock.now - t0, 100u);
    // Two frames end the wait early; the next cycle plays at once.
    rig.clock.at(rig.clock.now + 15, [&] { rig.queue.put(frame(4), 4); });
    rig.clock.at(rig.clock.now + 25, [&] { rig.queue.put(frame(5), 5); });
    t0 = rig.clock.now;
    EXPECT_FALSE(rig.queue.playOne());
    EXPECT_EQ(rig.clock.now - t0, 30u);
    EXPECT_EQ(rig.queue.cycle(), 40u);  // played 4, then slept its 40 ms
    EXPECT_EQ(rig.log.tags(), (std::vector<int>{1, 4}));
    // A stopped queue does not wait at all.
    rig.queue.stop();
    rig.drain();
    t0 = rig.clock.now;
    EXPECT_FALSE(rig.queue.playOne());
    EXPECT_EQ(rig.clock.now, t0);
}

// The playout loop in simulated time: frames of frameMs arrive every frameMs,
// the queue's period is the sender's buffer length.
struct Steady {
    int played = 0;
    std::uint64_t dropped = 0;
    int sent = 0;
    bool inOrder = true;
    int starvedCycles = 0;  // cycles without a frame once playing had begun
};

Steady runSteady(int periodMs, std::uint32_t frameBytes, std::uint32_t bytesPerSecond, int seconds,
                 int jitterMs = 0, std::optional<std::uint32_t> pacedBy = {}) {
    const std::uint32_t pacedBytesPerSecond = pacedBy.value_or(bytesPerSecond);
    SimClock clock;
    FrameLog log;
    CAudioPlayQueue queue(clock);
    queue.configure(periodMs, &log, std::max(frameBytes, bytesPerSecond), pacedBytesPerSecond);
    queue.start(false);
    const std::uint64_t frameUs = std::uint64_t{frameBytes} * 1000000 / bytesPerSecond;
    Steady out;
    const std::uint32_t start = clock.now;
    for (std::uint64_t t = 0; t < std::uint64_t(seconds) * 1000000; t += frameUs) {
        const int n = out.sent++;
        // Alternate early and late arrivals: network jitter.
        const int jitter = (n % 2 == 0) ? jitterMs : 0;
        clock.at(start + static_cast<std::uint32_t>(t / 1000) + jitter, [&queue, n, frameBytes] {
            auto f = frame(n % 256, frameBytes);
            queue.put(f, (n + 1) % 10);
        });
    }
    const std::uint32_t end = start + seconds * 1000;
    while (clock.now < end) {
        const auto before = clock.now;
        const auto playedBefore = log.frames.size();
        queue.cycle();
        if (playedBefore > 0 && log.frames.size() == playedBefore) {
            ++out.starvedCycles;
        }
        if (clock.now == before) {
            clock.advance(1);  // a cycle that did not sleep still takes time
        }
    }
    out.played = static_cast<int>(log.frames.size());
    out.dropped = queue.droppedFrames();
    const auto tags = log.tags();
    for (std::size_t i = 0; i < tags.size(); ++i) {
        out.inOrder = out.inOrder && tags[i] == static_cast<int>(i % 256);
    }
    return out;
}

TEST(AudioPlayQueue, SteadyFortyMillisecondFramesWithAFiftyMillisecondPeriodPlayEveryFrame) {
    // GSM 6.10 with the default 50 ms buffer: one 65-byte block every 40 ms.
    const Steady s = runSteady(50, 65, 1625, 30);
    EXPECT_EQ(s.dropped, 0u);
    EXPECT_TRUE(s.inOrder);
    // Everything sent but the small cushion still queued at the end.
    EXPECT_GE(s.played, s.sent - 3);
    EXPECT_EQ(s.starvedCycles, 0);
    // Paced by the period alone, the queue runs full and drops.
    const Steady unpaced = runSteady(50, 65, 1625, 30, 0, 0);
    EXPECT_GT(unpaced.dropped, 0u);
}

TEST(AudioPlayQueue, SteadyStateHoldsForEveryBufferLengthAndFormat) {
    struct Case {
        int periodMs;
        std::uint32_t frameBytes, bytesPerSecond;
    };
    const Case cases[] = {
        {50, 800, 16000}, {100, 1600, 16000}, {200, 3200, 16000},  // PCM
        {100, 130, 1625}, {200, 325, 1625},                        // GSM: 2 and 5 blocks
        {50, 256, 4055},  {100, 512, 4055},   {200, 1536, 4055},   // IMA ADPCM blocks
        {50, 400, 8000},  {200, 1600, 8000},                       // A-law, u-law
    };
    for (const auto& c : cases) {
        const Steady s = runSteady(c.periodMs, c.frameBytes, c.bytesPerSecond, 20, 7);
        EXPECT_EQ(s.dropped, 0u) << c.periodMs << " ms, " << c.frameBytes << " bytes";
        EXPECT_EQ(s.starvedCycles, 0) << c.periodMs << " ms, " << c.frameBytes << " bytes";
        EXPECT_TRUE(s.inOrder) << c.periodMs << " ms, " << c.frameBytes << " bytes";
        EXPECT_GE(s.played, s.sent - 3) << c.periodMs << " ms, " << c.frameBytes << " bytes";
    }
}

TEST(AudioPlayQueue, ABacklogDrains) {
    SimClock clock;
    FrameLog log;
    CAudioPlayQueue queue(clock);
    queue.configure(50, &log, 1625, 1625);
    queue.start(false);
    for (int s = 1; s <= 8; ++s) {
        queue.put(frame(s), s);
    }
    // Frames keep arriving every 40 ms while the burst is played out.
    int n = 9;
    for (std::uint32_t t = 40; t <= 4000; t += 40) {
        clock.at(clock.now + t, [&queue, &n] {
            queue.put(frame(n % 256), n % 10);
            ++n;
        });
    }
    const std::uint32_t end = clock.now + 4000;
    while (clock.now < end) {
        const auto before = clock.now;
        queue.cycle();
        if (clock.now == before) {
            clock.advance(1);
        }
    }
    EXPECT_LE(queue.filledCount(), 3);
    EXPECT_EQ(queue.droppedFrames(), 0u);
}

// 40 ms frames sent at the end of 50 ms capture buffers: 0, 1 or 2 a buffer,
// each up to 40 ms behind its even pace.
TEST(JitterEstimate, NinetyFifthPercentileOfLatenessNotTheOutliers) {
    CJitterEstimate j;
    int seq = 0;
    for (int frame = 0; frame < 200; ++frame) {
        const std::uint32_t due = frame * 40 + 40;
        const std::uint32_t sent = (due + 49) / 50 * 50;
        j.arrival(1000 + sent, seq, 40000);
        seq = (seq + 1) % 10;
    }
    EXPECT_EQ(j.percentile95Ms(), 40u);
    // One frame 300 ms late in a window of 128 shows, but does not move the target.
    j.arrival(1000 + 200 * 40 + 300 + 50, seq, 40000);
    EXPECT_GE(j.lastMs(), 300u);
    EXPECT_EQ(j.percentile95Ms(), 40u);
}

TEST(JitterEstimate, LostFramesAreNotLatenessAndAPauseStartsOver) {
    CJitterEstimate j;
    // Evenly paced, every third frame lost on the way.
    for (int frame = 0; frame < 60; ++frame) {
        if (frame % 3 != 2) {
            j.arrival(1000 + frame * 20, frame % 10, 20000);
        }
    }
    EXPECT_EQ(j.percentile95Ms(), 0u);
    EXPECT_EQ(j.lastMs(), 0u);
    j.arrival(1000 + 60 * 20 + 25, 0, 20000);
    EXPECT_EQ(j.lastMs(), 25u);
    j.arrival(5000, 1, 20000);  // after a pause of seconds
    EXPECT_EQ(j.count(), 1);
    // Before any percentile can be had, the latest is the guess.
    j.arrival(5020 + 15, 2, 20000);
    EXPECT_EQ(j.percentile95Ms(), 15u);
}

// Device-paced: frames go out as soon as they are next, a missing one is
// waited for while the device has sound in hand.
struct LevelLog : FrameLog {
    std::optional<std::uint32_t> bufferedMs() override { return level; }
    std::uint32_t level = 100;
};

TEST(AudioPlayQueue, DevicePacedPlaysAtOnceAndWaitsForAMissingFrameWhileTheDeviceHasSound) {
    SimClock clock;
    LevelLog log;
    CAudioPlayQueue queue(clock);
    queue.configure(50, &log, 1625, 1625);
    queue.start(false);
    queue.put(frame(1), 1);
    queue.put(frame(2), 2);
    EXPECT_EQ(queue.cycle(), 0u);
    EXPECT_EQ(queue.cycle(), 0u);
    queue.put(frame(4), 4);  // 3 is late
    EXPECT_EQ(queue.cycle(), CAudioPlayQueue::kPollMs);
    EXPECT_EQ(log.tags(), (std::vector<int>{1, 2}));
    queue.put(frame(3), 3);
    queue.cycle();
    queue.cycle();
    EXPECT_EQ(log.tags(), (std::vector<int>{1, 2, 3, 4}));
    queue.put(frame(6), 6);  // 5 is lost
    log.level = CAudioPlayQueue::kGiveUpBelowMs - 1;
    queue.cycle();
    EXPECT_EQ(log.tags(), (std::vector<int>{1, 2, 3, 4, 6}));
}

}  // namespace
}  // namespace kova
