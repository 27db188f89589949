#pragma once
// The figures of a running call's link, as the receiving window's statistics
// show them and the kova.stats log writes them once a second: pictures drawn,
// the round trip of our pictures to the peer's ack, pictures held back for want
// of an ack, audio frames received, lost and late, the play queue and the
// mouth-to-ear estimate, bytes each way and strangers' datagrams.
//
// Threads. Every method runs on the UI thread, where pictures are drawn, sent
// and acknowledged and where audio frames arrive. What other threads count
// (bytes the capture thread sends, the player's levels) stays in their own
// atomics and comes in through sample() as totals, so nothing here is shared
// and nothing locks.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kova {

class LinkStatistics {
public:
    // Audio frames carry the sender's frame number modulo this.
    static constexpr int kSequenceModulo = 10;
    // Round trips kept for one second's median: one picture in flight at a
    // time cannot ack faster than a millisecond apart.
    static constexpr std::size_t kMaxRoundTrips = 1000;

    // Totals since the call started, read once a second.
    struct Totals {
        std::uint64_t bytesIn = 0;
        std::uint64_t bytesOut = 0;
        std::uint64_t strangers = 0;
        // The player's; no audio: all unset.
        std::optional<int> queueMs;
        std::optional<std::uint32_t> deviceMs;
        std::uint64_t playerDrops = 0;
        std::uint64_t ranDry = 0;
    };

    // One second's figures, per second unless the name says otherwise.
    struct Figures {
        int pictures = 0;
        std::optional<int> roundTripMs;
        int heldBack = 0;
        int audioReceived = 0;
        int audioLost = 0;
        int audioLate = 0;
        int playerDrops = 0;
        int ranDry = 0;
        std::optional<int> queueMs;
        std::optional<int> mouthToEarMs;
        std::uint64_t bytesIn = 0;
        std::uint64_t bytesOut = 0;
        std::uint64_t strangersTotal = 0;  // this call's
    };

    using Clock = std::function<std::int64_t()>;  // milliseconds, monotonic
    explicit LinkStatistics(Clock clock = {});

    // A new call: the counts start from zero and the totals from the baseline.
    void reset(const Totals& baseline);
    void reset() { reset(Totals{}); }

    void pictureDrawn() { ++pictures_; }
    void pictureSent();
    void pictureAcknowledged();
    void pictureHeldBack() { ++heldBack_; }
    void audioFrame(int sequence);

    // The figures since the last sample; totals as the counters stand now.
    Figures sample(const Totals& totals);
    const Figures& last() const { return last_; }

    // The overlay's lines and the log's line of the same figures.
    static QStringList lines(const Figures& f);
    static QString logLine(const Figures& f);

private:
    Clock clock_;
    std::int64_t since_ = 0;
    int pictures_ = 0;
    int heldBack_ = 0;
    std::optional<std::int64_t> inFlightSince_;
    std::vector<int> roundTrips_;
    int audioReceived_ = 0;
    int audioLate_ = 0;
    std::optional<int> lastSequence_;
    // Gaps seen, less the late frames that filled them: a frame behind the
    // newest was not lost after all.
    std::int64_t lostTotal_ = 0;
    std::int64_t lostSampled_ = 0;
    Totals previous_;
    std::uint64_t strangersBefore_ = 0;
    Figures last_;
};

}  // namespace kova
