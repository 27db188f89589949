#pragma once
// Ten slots between the network and the output device, indexed by the sender's
// frame number (0..9): puts frames back in sending order, smooths arrival
// jitter, bounds latency and drains backlogs. Its playout thread hands one frame
// per cycle to the owner.
//
// Where the owner can tell how much sound its device still holds, the device
// is the jitter buffer: each frame goes to it as soon as it is next in order,
// and the owner keeps the device's level at the arrival jitter measured here.
// A device that cannot tell is paced by the clock, at the depth the call's
// first frames gave.

#include <QThread>
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "audio/JitterEstimate.h"
#include "common/ByteIo.h"
#include "common/ThreadCheck.h"

namespace kova {

class IPlayoutClock;

class IAudioFrameWriter {
public:
    virtual ~IAudioFrameWriter() = default;
    // Called on the playout thread; frame is valid only during the call.
    virtual void Write(ByteSpan frame) = 0;
    // Milliseconds of sound the output holds that it has not played; nullopt
    // when the output cannot tell. Asked on the playout thread.
    virtual std::optional<std::uint32_t> bufferedMs() { return std::nullopt; }
};

class CAudioPlayQueue {
public:
    static constexpr int kSlots = 10;
    // Filled slots that switch the queue to refilling, and the level it drains to.
    static constexpr int kRefillAt = 9;
    static constexpr int kRefilledAt = 1;
    // An empty queue waits for this many frames, checking every kEmptyCheckMs,
    // at most kEmptyChecks times.
    static constexpr int kEmptyWaitFrames = 2;
    static constexpr int kEmptyCheckMs = 10;
    static constexpr int kEmptyChecks = 10;
    static constexpr std::uint32_t kMaxSleepMs = 1000;
    // Waiting frames up to this many are the jitter cushion the empty wait built;
    // only frames beyond it shorten the cycle.
    static constexpr int kCushionFrames = 2;
    // Device-paced: how often an idle playout thread looks (a new frame also
    // wakes it), and the level below which a missing frame is given up for
    // the next one rather than waited for.
    static constexpr std::uint32_t kPollMs = 10;
    static constexpr std::uint32_t kGiveUpBelowMs = 10;
    // Real-time priority of the playout thread where the system grants it.
    static constexpr int kRealTimePriority = 3;

    enum SlotState : std::uint8_t { Free = 0, Filled = 1, Playing = 2 };

    explicit CAudioPlayQueue(IPlayoutClock& clock);
    ~CAudioPlayQueue();
    CAudioPlayQueue(const CAudioPlayQueue&) = delete;
    CAudioPlayQueue& operator=(const CAudioPlayQueue&) = delete;

    // bytesPerSecond paces each cycle by the played frame's duration; 0 paces by
    // the period. Reallocates every slot; only while stopped.
    void configure(int periodMs, IAudioFrameWriter* owner, std::uint32_t slotCapacity,
                   std::uint32_t bytesPerSecond);
    // withThread false: the caller drives cycle() itself (simulated time).
    void start(bool withThread = true);
    void stop();
    bool running() const { return running_.load(); }

    // Receiving side; the bytes are copied.
    void put(ByteSpan frame, int sequence);

    // One cycle of the playout thread: returns how long it then slept.
    std::uint32_t cycle();
    // Hands the frame at the read position to the owner; false when none was due.
    bool playOne();

    int readPosition() const { return readPos_.load(); }
    int filledCount() const { return filled_.load(); }
    bool refilling() const { return refilling_.load(); }
    int period() const { return period_; }
    std::uint32_t slotCapacity() const { return capacity_; }
    SlotState slotState(int i) const { return static_cast<SlotState>(slots_[i].state.load()); }
    // Frames refused by put (refilling or no free slot), since configure.
    std::uint64_t droppedFrames() const { return dropped_.load(); }
    // The arrival jitter's 95th percentile, and while a frame is being
    // written, how late that frame arrived against the earliest.
    std::uint32_t jitterMs() const { return jitterMs_.load(); }
    std::uint32_t playingLateMs() const { return playingLateMs_; }

private:
    struct Slot {
        std::vector<std::byte> data;
        std::uint32_t length = 0;
        std::uint32_t lateMs = 0;
        std::atomic<std::uint8_t> state{Free};
    };

    std::uint32_t durationMs(std::uint32_t bytes);
    std::uint32_t deviceCycle(std::uint32_t levelMs);
    bool play(bool skipMissing);
    void run();

    IPlayoutClock& clock_;
    ThreadCheck ownerThread_;
    // The playout thread, or whoever drives cycle() when there is none.
    ThreadCheck playoutThread_;
    std::atomic<bool> running_{false};
    IAudioFrameWriter* owner_ = nullptr;
    QThread* thread_ = nullptr;
    std::atomic<int> readPos_{-1};
    std::atomic<bool> refilling_{false};
    int period_ = 100;
    std::atomic<int> filled_{0};
    std::uint32_t capacity_ = 0;
    std::array<Slot, kSlots> slots_;
    std::uint32_t bytesPerSecond_ = 0;
    std::uint64_t carryUs_ = 0;
    std::uint32_t lastPlayedBytes_ = 0;
    bool paced_ = false;         // nextDue_ holds the deadline of the last frame
    std::uint32_t nextDue_ = 0;  // clock ticks
    std::atomic<std::uint64_t> dropped_{0};
    CJitterEstimate jitter_;  // the receiving side's
    std::atomic<std::uint32_t> jitterMs_{0};
    std::uint32_t playingLateMs_ = 0;
    std::atomic<bool> devicePaced_{false};
};

}  // namespace kova
